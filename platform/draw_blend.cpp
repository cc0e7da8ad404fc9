#include "platform/draw_blend.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

namespace mv {

namespace {

// mix[s * 32 + t] = (s x alpha + t x (255 - alpha)) / 255 for two 5-bit channel values.
using ChannelMix5 = std::array<uint8_t, 32 * 32>;

ChannelMix5 MakeChannelMix5(uint32_t alpha) {
    ChannelMix5 mix;
    for (uint32_t s = 0; s < 32; ++s)
        for (uint32_t t = 0; t < 32; ++t)
            mix[s * 32 + t] = uint8_t((s * alpha + t * (255 - alpha)) / 255);
    return mix;
}

uint16_t MixPixel555(uint16_t source, uint16_t target, const ChannelMix5& mix) {
    const auto channel = [&](int shift) {
        return uint16_t(mix[((source >> shift) & 31) * 32 + ((target >> shift) & 31)] << shift);
    };
    return channel(10) | channel(5) | channel(0);
}

QRgb Blend888(QRgb source, QRgb target, uint32_t alpha) {
    const auto channel = [&](uint32_t s, uint32_t t) {
        return (s * alpha + t * (255 - alpha)) / 255;
    };
    return qRgb(channel(qRed(source), qRed(target)), channel(qGreen(source), qGreen(target)),
                channel(qBlue(source), qBlue(target)));
}

// Eight 16-bit pixels; the compiler keeps them in one vector register where the processor has
// them and works on each pixel alone where it doesn't.
using EightPixels = uint16_t __attribute__((vector_size(16)));
using EightPixelWords = uint64_t __attribute__((vector_size(16)));

bool AllZero(EightPixels pixels) {
    const auto words = reinterpret_cast<EightPixelWords>(pixels);
    return (words[0] | words[1]) == 0;
}

// Blends 16-bit source pixels over target pixels, each pixel in its own 16-bit lane (bit 15 of
// either is ignored, and is 0 in the result). Per 5-bit channel v = s x alpha + t x (255 - alpha)
// stays below 2^13, and v / 255 is (v + 1 + (v >> 8)) >> 8, which is exact for every v below
// 65535.
template <typename Pixels>
Pixels Blend555(Pixels source, Pixels target, uint16_t alpha) {
    const auto rest = uint16_t(255 - alpha);
    const auto channel = [&](int shift) {
        const Pixels v = ((source >> shift) & 31) * alpha + ((target >> shift) & 31) * rest;
        return Pixels(((v + 1 + (v >> 8)) >> 8) << shift);
    };
    return channel(10) | channel(5) | channel(0);
}

// One row of a 16-bit source over a 16-bit target. Under the hands' shadows most of the source
// is a copy of the target, so eight pixels are compared at once and skipped when all are equal.
// Blending a pixel over itself gives the pixel, so eight pixels that differ in part are blended
// together unless a target pixel has bit 15 set (only a skipped pixel keeps that bit).
void BlendRow555(uint16_t* out, const uint16_t* in, int32_t count, uint8_t alpha) {
    const auto blendOne = [&](int32_t i) {
        if (in[i] != (out[i] & 0x7FFF))
            out[i] = Blend555<uint16_t>(in[i], out[i], alpha);
    };
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        EightPixels source;
        EightPixels target;
        std::memcpy(&source, in + x, sizeof(source));
        std::memcpy(&target, out + x, sizeof(target));
        if (AllZero(source ^ (target & 0x7FFF)))
            continue;
        if (AllZero(target & 0x8000)) {
            target = Blend555(source, target, alpha);
            std::memcpy(out + x, &target, sizeof(target));
            continue;
        }
        for (int32_t i = x; i < x + 8; ++i)
            blendOne(i);
    }
    for (; x < count; ++x)
        blendOne(x);
}

// Whether the source pixel is what the target pixel becomes in the source's format.
template <typename From, typename To>
bool SourceIsTarget(typename From::Pixel source, typename To::Pixel target) {
    return ((ConvertPixel<To, From>(target) ^ source) & 0x00FFFFFFu) == 0;
}

} // namespace

void BlendConstantAlpha(QImage& target, Point destination, const QImage& source,
                        const Rect& sourceRect, uint8_t alpha, const QRegion* clip) {
    if (alpha == 0)
        return;
    if (&source == &target) {
        BlendConstantAlpha(target, destination, source.copy(), sourceRect, alpha, clip);
        return;
    }
    const Rect area = CopyDestination(destination, source, sourceRect, 1);
    const SourceOffset offset(sourceRect, destination);
    WithSourceAndTargetLayouts(source, target, [&]<typename From, typename To>(const QImage& in) {
        constexpr bool kBoth555 =
            std::is_same_v<From, Rgb555Pixels> && std::is_same_v<To, Rgb555Pixels>;
        const ChannelMix5 mix = kBoth555 ? ChannelMix5{} : MakeChannelMix5(alpha);
        const PixelRows<To, QImage> outRows(target);
        const PixelRows<From, const QImage> inRows(in);
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = outRows[y];
                // Indexed by target x, like out.
                const auto* read = inRows[offset.Row(y)] + offset.Column(part.left) - part.left;
                if constexpr (kBoth555) {
                    BlendRow555(out + part.left, read + part.left, part.Width(), alpha);
                    continue;
                }
                for (int32_t x = part.left; x < part.right; ++x) {
                    if (SourceIsTarget<From, To>(read[x], out[x]))
                        continue;
                    if constexpr (std::is_same_v<To, Rgb555Pixels>)
                        out[x] = MixPixel555(ConvertPixel<From, To>(read[x]), out[x], mix);
                    else
                        out[x] = To::FromRgb(Blend888(From::ToRgb(read[x]), out[x], alpha));
                }
            }
        });
    });
}

namespace {

// One row: target pixels under black shadow pixels get black blended over them; the others,
// under kShadowClear555, stay as they are. Eight pixels at a time; a group without black is
// skipped.
void DarkenRow555(uint16_t* out, const uint16_t* shadow, int32_t count, uint8_t alpha) {
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        EightPixels mask;
        std::memcpy(&mask, shadow + x, sizeof(mask));
        const auto black = reinterpret_cast<EightPixels>(mask == 0); // all ones where black
        if (AllZero(black))
            continue;
        EightPixels target;
        std::memcpy(&target, out + x, sizeof(target));
        const EightPixels darkened = Blend555(EightPixels{}, target, alpha);
        target = (darkened & black) | (target & ~black);
        std::memcpy(out + x, &target, sizeof(target));
    }
    for (; x < count; ++x) {
        if (shadow[x] == 0)
            out[x] = Blend555<uint16_t>(0, out[x], alpha);
    }
}

} // namespace

void ClearShadow555(QImage& shadow, const Rect& area, const QRegion* clip) {
    if (shadow.format() != QImage::Format_RGB555)
        return;
    ForEachDrawableRect(shadow, area, clip, [&](const Rect& part) {
        for (int32_t y = part.top; y < part.bottom; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(shadow.scanLine(y)) + part.left;
            std::fill(row, row + part.Width(), kShadowClear555);
        }
    });
}

void DarkenUnderShadow555(QImage& target, Point destination, const QImage& shadow,
                          const Rect& shadowRect, uint8_t alpha, const QRegion* clip) {
    if (alpha == 0 || target.format() != QImage::Format_RGB555 ||
        shadow.format() != QImage::Format_RGB555 || &target == &shadow)
        return;
    const Rect area = CopyDestination(destination, shadow, shadowRect, 1);
    const SourceOffset offset(shadowRect, destination);
    ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
        for (int32_t y = part.top; y < part.bottom; ++y) {
            auto* out = reinterpret_cast<uint16_t*>(target.scanLine(y));
            const auto* mask =
                reinterpret_cast<const uint16_t*>(shadow.constScanLine(offset.Row(y))) +
                offset.Column(part.left);
            DarkenRow555(out + part.left, mask, part.Width(), alpha);
        }
    });
}

} // namespace mv
