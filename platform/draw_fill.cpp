#include "platform/draw_fill.h"

#include "platform/dither555.h"
#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <algorithm>
#include <array>
#include <cstring>

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

// Sets count pixels from row on, the first at column x, from the four pixels of a row's pattern.
void FillPattern(uint16_t* row, int32_t x, int32_t count, const std::array<uint16_t, 4>& pattern) {
    const std::array<uint16_t, 4> lanes = {pattern[size_t(x & 3)], pattern[size_t((x + 1) & 3)],
                                           pattern[size_t((x + 2) & 3)],
                                           pattern[size_t((x + 3) & 3)]};
    uint64_t four;
    std::memcpy(&four, lanes.data(), sizeof(four));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4)
        std::memcpy(row + i, &four, sizeof(four));
    for (; i < count; ++i)
        row[i] = lanes[size_t(i & 3)];
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
    const auto colorOfRow = [&](int32_t y) {
        const int64_t step = int64_t(y) - area.top;
        return qRgb(Interpolate(RedOf(topColor), RedOf(bottomColor), step, height),
                    Interpolate(GreenOf(topColor), GreenOf(bottomColor), step, height),
                    Interpolate(BlueOf(topColor), BlueOf(bottomColor), step, height));
    };
    if (LayoutOf(target) != PixelLayout::Rgb555) {
        FillRows(target, area, clip, colorOfRow);
        return;
    }
    // 5-5-5 levels are too far apart for a slow gradient: dithered, the rows' average follows it.
    const PixelRows<Rgb555Pixels, QImage> rows(target);
    ForEachDrawableRect(target, area, clip, [&](const Rect& part) {
        for (int32_t y = part.top; y < part.bottom; ++y)
            FillPattern(rows[y] + part.left, part.left, part.Width(),
                        DitherRow555(colorOfRow(y), y));
    });
}

} // namespace mv
