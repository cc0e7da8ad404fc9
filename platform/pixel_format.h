#pragma once
// The two pixel layouts the drawing layer writes: 16-bit 5-5-5 (blue in bits 0-4, green in 5-9,
// red in 10-14, bit 15 zero) and 32-bit 0xAARRGGBB. Conversions match Qt's own: 8 to 5 bits drops
// the low bits, 5 to 8 bits repeats the high bits in the low ones.

#include "platform/geometry.h"

#include <QImage>
#include <QRgb>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace mv {

constexpr uint16_t Rgb555(uint32_t red, uint32_t green, uint32_t blue) {
    return uint16_t(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
}

constexpr uint32_t Expand5To8(uint32_t channel) {
    return (channel << 3) | (channel >> 2);
}

struct Rgb555Pixels {
    using Pixel = uint16_t;
    static constexpr QRgb ToRgb(Pixel p) {
        return 0xFF000000u | (Expand5To8((p >> 10) & 31) << 16) | (Expand5To8((p >> 5) & 31) << 8) |
               Expand5To8(p & 31);
    }
    static constexpr Pixel FromRgb(QRgb c) { return Rgb555(qRed(c), qGreen(c), qBlue(c)); }
    static constexpr Pixel Normalize(Pixel p) { return p & 0x7FFF; }
};

// Every 32-bit format is read as opaque RGB and written opaque.
struct Rgb32Pixels {
    using Pixel = uint32_t;
    static constexpr QRgb ToRgb(Pixel p) { return p | 0xFF000000u; }
    static constexpr Pixel FromRgb(QRgb c) { return c | 0xFF000000u; }
    static constexpr Pixel Normalize(Pixel p) { return p | 0xFF000000u; }
};

template <typename From, typename To>
constexpr typename To::Pixel ConvertPixel(typename From::Pixel p) {
    if constexpr (std::is_same_v<From, To>)
        return To::Normalize(p);
    else
        return To::FromRgb(From::ToRgb(p));
}

// A colour 0x00BBGGRR as an opaque QRgb.
constexpr QRgb RgbOfColor(uint32_t color) {
    return 0xFF000000u | (uint32_t(RedOf(color)) << 16) | (uint32_t(GreenOf(color)) << 8) |
           BlueOf(color);
}

enum class PixelLayout { Rgb555, Rgb32, Other };

inline PixelLayout LayoutOf(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB555:
        return PixelLayout::Rgb555;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return PixelLayout::Rgb32;
    default:
        return PixelLayout::Other;
    }
}

template <typename Layout>
typename Layout::Pixel* PixelRow(QImage& image, int32_t y) {
    return reinterpret_cast<typename Layout::Pixel*>(image.scanLine(y));
}

template <typename Layout>
const typename Layout::Pixel* PixelRow(const QImage& image, int32_t y) {
    return reinterpret_cast<const typename Layout::Pixel*>(image.constScanLine(y));
}

// The rows of an image, addressed without a library call per row: the hot loops take the pixel
// pointer once (a writable image is detached from shared storage once, here).
template <typename Layout, typename Image>
class PixelRows {
public:
    using Pixel = std::conditional_t<std::is_const_v<Image>, const typename Layout::Pixel,
                                     typename Layout::Pixel>;
    explicit PixelRows(Image& image) : first_(BitsOf(image)), stride_(image.bytesPerLine()) {}
    Pixel* operator[](int32_t y) const {
        return reinterpret_cast<Pixel*>(first_ + ptrdiff_t(y) * stride_);
    }

private:
    using Byte = std::conditional_t<std::is_const_v<Image>, const uchar, uchar>;
    static Byte* BitsOf(Image& image) {
        if constexpr (std::is_const_v<Image>)
            return image.constBits();
        else
            return image.bits();
    }
    Byte* first_;
    qsizetype stride_;
};

// Sets count pixels from row on; 16-bit pixels are written four at a time.
inline void FillPixels(uint16_t* row, int32_t count, uint16_t pixel) {
    const uint64_t four = pixel * 0x0001000100010001ull;
    int32_t x = 0;
    for (; x + 4 <= count; x += 4)
        std::memcpy(row + x, &four, sizeof(four));
    for (; x < count; ++x)
        row[x] = pixel;
}
inline void FillPixels(uint32_t* row, int32_t count, uint32_t pixel) {
    std::fill_n(row, count, pixel);
}

// Calls draw.template operator()<Layout>() with the target's layout; a target in any other
// format is not drawn into.
template <typename Draw>
void WithTargetLayout(const QImage& target, Draw&& draw) {
    switch (LayoutOf(target)) {
    case PixelLayout::Rgb555:
        draw.template operator()<Rgb555Pixels>();
        break;
    case PixelLayout::Rgb32:
        draw.template operator()<Rgb32Pixels>();
        break;
    case PixelLayout::Other:
        break;
    }
}

// Calls draw.template operator()<SourceLayout, TargetLayout>(source) with a source in one of the
// two layouts (another format is converted to 32-bit first).
template <typename Draw>
void WithSourceAndTargetLayouts(const QImage& source, const QImage& target, Draw&& draw) {
    const auto withTarget = [&]<typename SourceLayout>(const QImage& readable) {
        WithTargetLayout(target, [&]<typename TargetLayout>() {
            draw.template operator()<SourceLayout, TargetLayout>(readable);
        });
    };
    switch (LayoutOf(source)) {
    case PixelLayout::Rgb555:
        withTarget.template operator()<Rgb555Pixels>(source);
        break;
    case PixelLayout::Rgb32:
        withTarget.template operator()<Rgb32Pixels>(source);
        break;
    case PixelLayout::Other:
        if (!source.isNull())
            withTarget.template operator()<Rgb32Pixels>(
                source.convertToFormat(QImage::Format_RGB32));
        break;
    }
}

} // namespace mv
