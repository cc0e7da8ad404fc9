#include "platform/draw_copy.h"

#include "platform/dither555.h"
#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <cstring>
#include <type_traits>

namespace mv {

namespace {

// Source-over of a premultiplied pixel on an opaque one.
QRgb Over(QRgb source, QRgb target) {
    const uint32_t rest = 255 - qAlpha(source);
    return qRgb(qRed(source) + qRed(target) * rest / 255,
                qGreen(source) + qGreen(target) * rest / 255,
                qBlue(source) + qBlue(target) * rest / 255);
}

// Copies count pixels of a prepared keyed row over a 16-bit row, four pixels at a time: rows
// of the dial are mostly all opaque or all key.
void CopyKeyedRow555(uint16_t* out, const uint16_t* in, int32_t count) {
    constexpr uint64_t kLaneBit0 = 0x0001000100010001ull;
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        uint64_t source;
        std::memcpy(&source, in + x, sizeof(source));
        const uint64_t keys = (source >> 15) & kLaneBit0;
        if (keys == kLaneBit0)
            continue;
        if (keys != 0) {
            uint64_t target;
            std::memcpy(&target, out + x, sizeof(target));
            const uint64_t keep = keys * 0xFFFF;
            source = (target & keep) | (source & ~keep);
        }
        std::memcpy(out + x, &source, sizeof(source));
    }
    for (; x < count; ++x)
        if (in[x] != kKeyPixel555)
            out[x] = in[x];
}

} // namespace

void CopyPixels(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                const QRegion* clip) {
    if (&source == &target) {
        // A deep copy: a shared one would make the target detach from its pixel buffer.
        CopyPixels(target, destination, source.copy(), sourceRect, clip);
        return;
    }
    const Rect area = CopyDestination(destination, source, sourceRect, 1);
    const SourceOffset offset(sourceRect, destination);
    WithSourceAndTargetLayouts(source, target, [&]<typename From, typename To>(const QImage& in) {
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            const PixelRows<To, QImage> outRows(target);
            const PixelRows<From, const QImage> inRows(in);
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = outRows[y] + part.left;
                const auto* read = inRows[offset.Row(y)] + offset.Column(part.left);
                if constexpr (std::is_same_v<From, To>) {
                    std::memcpy(out, read, size_t(part.Width()) * sizeof(*out));
                } else {
                    for (int32_t x = 0; x < part.Width(); ++x)
                        out[x] = ConvertPixel<From, To>(read[x]);
                }
            }
        });
    });
}

void CopyKeyed(QImage& target, Point destination, const QImage& keyed, const Rect& sourceRect,
               const QRegion* clip) {
    if (keyed.format() != QImage::Format_ARGB32_Premultiplied) {
        if (keyed.isNull())
            return;
        CopyKeyed(target, destination, keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  sourceRect, clip);
        return;
    }
    const Rect area = CopyDestination(destination, keyed, sourceRect, 1);
    const SourceOffset offset(sourceRect, destination);
    WithTargetLayout(target, [&]<typename To>() {
        const PixelRows<To, QImage> outRows(target);
        const PixelRows<Rgb32Pixels, const QImage> inRows(keyed);
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = outRows[y];
                const QRgb* read = inRows[offset.Row(y)] + offset.Column(part.left) - part.left;
                for (int32_t x = part.left; x < part.right; ++x) {
                    const QRgb pixel = read[x];
                    const int alpha = qAlpha(pixel);
                    if (alpha == 255)
                        out[x] = To::FromRgb(pixel);
                    else if (alpha != 0)
                        out[x] = To::FromRgb(Over(pixel, To::ToRgb(out[x])));
                }
            }
        });
    });
}

KeyedPicture555 MakeKeyedPicture555(const QImage& keyed) {
    if (keyed.isNull() || keyed.format() != QImage::Format_ARGB32_Premultiplied)
        return {};
    KeyedPicture555 picture;
    picture.width = keyed.width();
    picture.height = keyed.height();
    picture.pixels.resize(size_t(picture.width) * size_t(picture.height));
    const PixelRows<Rgb32Pixels, const QImage> rows(keyed);
    uint16_t* out = picture.pixels.data();
    for (int32_t y = 0; y < picture.height; ++y) {
        const QRgb* row = rows[y];
        for (int32_t x = 0; x < picture.width; ++x) {
            const int alpha = qAlpha(row[x]);
            if (alpha != 0 && alpha != 255)
                return {}; // drawn over the target: only the 32-bit picture knows how
            *out++ = alpha == 0 ? kKeyPixel555 : Dither555(row[x], x, y);
        }
    }
    return picture;
}

void CopyKeyed(QImage& target, Point destination, const KeyedPicture555& keyed,
               const Rect& sourceRect, const QRegion* clip) {
    if (LayoutOf(target) != PixelLayout::Rgb555)
        return;
    const Rect area = CopyDestination(destination, keyed.width, keyed.height, sourceRect, 1);
    const SourceOffset offset(sourceRect, destination);
    const PixelRows<Rgb555Pixels, QImage> outRows(target);
    ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
        for (int32_t y = part.top; y < part.bottom; ++y) {
            const uint16_t* read = keyed.pixels.data() + ptrdiff_t(offset.Row(y)) * keyed.width +
                                   offset.Column(part.left);
            CopyKeyedRow555(outRows[y] + part.left, read, part.Width());
        }
    });
}

} // namespace mv
