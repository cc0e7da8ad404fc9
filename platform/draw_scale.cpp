#include "platform/draw_scale.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <cstring>

namespace mv {

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
            const typename To::Pixel* previous = nullptr;
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* out = PixelRow<To>(target, y) + part.left;
                const int32_t down = y - destination.y; // never negative inside area
                if (previous != nullptr && (down & 1) != 0) {
                    // The second row of each block repeats the first.
                    std::memcpy(out, previous, rowBytes);
                    previous = nullptr;
                    continue;
                }
                const auto* read = PixelRow<From>(in, sourceRect.top + down / 2) + sourceRect.left;
                int32_t across = part.left - destination.x;
                int32_t x = 0;
                const int32_t width = part.Width();
                if ((across & 1) != 0)
                    out[x++] = ConvertPixel<From, To>(read[across++ / 2]);
                for (; x + 1 < width; x += 2, across += 2) {
                    const auto pixel = ConvertPixel<From, To>(read[across / 2]);
                    out[x] = pixel;
                    out[x + 1] = pixel;
                }
                if (x < width)
                    out[x] = ConvertPixel<From, To>(read[across / 2]);
                previous = out;
            }
        });
    });
}

} // namespace mv
