#include "platform/draw_blend.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

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

uint16_t Blend555(uint16_t source, uint16_t target, const ChannelMix5& mix) {
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

// One row of a 16-bit source over a 16-bit target. Under the hands' shadows most of the source
// is a copy of the target, so four pixels are compared at once and skipped when all are equal.
void BlendRow555(uint16_t* out, const uint16_t* in, int32_t count, const ChannelMix5& mix) {
    constexpr uint64_t kPixelBits = 0x7FFF7FFF7FFF7FFFull;
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        uint64_t source;
        uint64_t target;
        std::memcpy(&source, in + x, sizeof(source));
        std::memcpy(&target, out + x, sizeof(target));
        if ((source ^ (target & kPixelBits)) == 0)
            continue;
        for (int32_t i = x; i < x + 4; ++i)
            if (in[i] != (out[i] & 0x7FFF))
                out[i] = Blend555(in[i] & 0x7FFF, out[i], mix);
    }
    for (; x < count; ++x)
        if (in[x] != (out[x] & 0x7FFF))
            out[x] = Blend555(in[x] & 0x7FFF, out[x], mix);
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
    const int32_t shiftX = sourceRect.left - destination.x;
    const int32_t shiftY = sourceRect.top - destination.y;
    const ChannelMix5 mix = MakeChannelMix5(alpha);
    WithSourceAndTargetLayouts(source, target, [&]<typename From, typename To>(const QImage& in) {
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = PixelRow<To>(target, y);
                const auto* read = PixelRow<From>(in, y + shiftY) + shiftX;
                if constexpr (std::is_same_v<From, Rgb555Pixels> &&
                              std::is_same_v<To, Rgb555Pixels>) {
                    BlendRow555(out + part.left, read + part.left, part.Width(), mix);
                    continue;
                }
                for (int32_t x = part.left; x < part.right; ++x) {
                    if (SourceIsTarget<From, To>(read[x], out[x]))
                        continue;
                    if constexpr (std::is_same_v<To, Rgb555Pixels>)
                        out[x] = Blend555(ConvertPixel<From, To>(read[x]), out[x], mix);
                    else
                        out[x] = To::FromRgb(Blend888(From::ToRgb(read[x]), out[x], alpha));
                }
            }
        });
    });
}

} // namespace mv
