#include "platform/draw_scale.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <cstring>
#include <type_traits>

namespace mv {

namespace {

// Doubles count 16-bit pixels across: out gets 2 x count pixels, bit 15 cleared. Two source
// pixels at a time become four.
void DoubleRow555(uint16_t* out, const uint16_t* in, int32_t count) {
    int32_t x = 0;
    for (; x + 2 <= count; x += 2) {
        uint32_t pair;
        std::memcpy(&pair, in + x, sizeof(pair));
        const uint64_t pixels = pair & 0x7FFF7FFFu;
        const uint64_t spread = (pixels & 0xFFFF) | ((pixels & 0xFFFF0000u) << 16);
        const uint64_t doubled = spread | (spread << 16);
        std::memcpy(out + 2 * x, &doubled, sizeof(doubled));
    }
    if (x < count)
        out[2 * x] = out[2 * x + 1] = in[x] & 0x7FFF;
}

} // namespace

void ScaleCopy2x(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                 const QRegion* clip) {
    if (&source == &target) {
        ScaleCopy2x(target, destination, source.copy(), sourceRect, clip);
        return;
    }
    const Rect area = CopyDestination(destination, source, sourceRect, 2);
    WithSourceAndTargetLayouts(source, target, [&]<typename From, typename To>(const QImage& in) {
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            const size_t rowBytes = size_t(part.Width()) * sizeof(typename To::Pixel);
            const PixelRows<To, QImage> outRows(target);
            const PixelRows<From, const QImage> inRows(in);
            const typename To::Pixel* previous = nullptr;
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = outRows[y] + part.left;
                // 64-bit: the destination may lie far outside the target.
                const int64_t down = int64_t(y) - destination.y; // never negative inside area
                if (previous != nullptr && (down & 1) != 0) {
                    // The second row of each block repeats the first.
                    std::memcpy(out, previous, rowBytes);
                    previous = nullptr;
                    continue;
                }
                const auto* row = inRows[int32_t(sourceRect.top + down / 2)];
                // Target column part.left + x reads source column sourceRect.left + across / 2.
                int64_t across = int64_t(part.left) - destination.x;
                const auto read = [&](int64_t step) { return row[sourceRect.left + step / 2]; };
                int32_t x = 0;
                const int32_t width = part.Width();
                if ((across & 1) != 0)
                    out[x++] = ConvertPixel<From, To>(read(across++));
                if constexpr (std::is_same_v<From, Rgb555Pixels> &&
                              std::is_same_v<To, Rgb555Pixels>) {
                    // Whole blocks; an odd last pixel is left to the loop below.
                    const int32_t blocks = (width - x) / 2;
                    DoubleRow555(out + x, &row[sourceRect.left + across / 2], blocks);
                    x += 2 * blocks;
                    across += 2 * blocks;
                }
                for (; x + 1 < width; x += 2, across += 2) {
                    const auto pixel = ConvertPixel<From, To>(read(across));
                    out[x] = pixel;
                    out[x + 1] = pixel;
                }
                if (x < width)
                    out[x] = ConvertPixel<From, To>(read(across));
                previous = out;
            }
        });
    });
}

} // namespace mv
