#include "platform/draw_fill.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <algorithm>

namespace mv {

namespace {

// Fills every drawable row of area with the colour colorOfRow(y) gives for it.
template <typename ColorOfRow>
void FillRows(QImage& target, const Rect& area, const QRegion* clip, ColorOfRow&& colorOfRow) {
    WithTargetLayout(target, [&]<typename Layout>() {
        const PixelRows<Layout, QImage> rows(target);
        ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y)
                FillPixels(rows[y] + part.left, part.Width(), Layout::FromRgb(colorOfRow(y)));
        });
    });
}

int32_t Interpolate(int32_t from, int32_t to, int64_t step, int64_t steps) {
    return int32_t(from + (to - from) * step / steps);
}

} // namespace

void FillRectangle(QImage& target, const Rect& area, uint32_t color, const QRegion* clip) {
    const QRgb rgb = RgbOfColor(color);
    FillRows(target, area, clip, [rgb](int32_t) { return rgb; });
}

void FillVerticalGradient(QImage& target, const Rect& area, uint32_t topColor, uint32_t bottomColor,
                          const QRegion* clip) {
    if (area.IsEmpty())
        return;
    const int64_t height = area.Height();
    FillRows(target, area, clip, [&](int32_t y) {
        const int64_t step = int64_t(y) - area.top;
        return qRgb(Interpolate(RedOf(topColor), RedOf(bottomColor), step, height),
                    Interpolate(GreenOf(topColor), GreenOf(bottomColor), step, height),
                    Interpolate(BlueOf(topColor), BlueOf(bottomColor), step, height));
    });
}

} // namespace mv
