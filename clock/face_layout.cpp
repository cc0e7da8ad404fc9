#include "clock/face_layout.h"

#include <algorithm>

namespace mv {

namespace {

// Placement modes along one axis, from the skin's placement field.
constexpr uint32_t kKeepStart = 0; // the square at the left (top) end of the picture
constexpr uint32_t kKeepEnd = 1;   // the square at the right (bottom) end

uint32_t HorizontalMode(uint32_t placement) {
    return placement & 3;
}
uint32_t VerticalMode(uint32_t placement) {
    return (placement >> 2) & 3;
}

// Position of the picture's leading edge along one axis. window: the window's extent; size: the
// picture's; square: the side of the picture's square part. Divisions truncate toward zero. In
// 64 bits, so that no rectangle a skin holds can make it wrap round.
int64_t PlaceAlongAxis(int64_t window, int64_t size, int64_t square, uint32_t mode) {
    if (window > size)
        return (window - size) / 2;
    switch (mode) {
    case kKeepStart:
        return window < square ? (window - square) / 2 : 0;
    case kKeepEnd:
        return window < square ? square - (square - window) / 2 - size : window - size;
    default:
        return (window - size) / 2;
    }
}

int64_t WidthOf(const Rect& rect) {
    return int64_t(rect.right) - rect.left;
}
int64_t HeightOf(const Rect& rect) {
    return int64_t(rect.bottom) - rect.top;
}

// The first line of a tile grid that starts at -offset and reaches into the area: whole tiles
// that lie before the area's start are passed over, as they would copy nothing.
int64_t FirstGridLine(int32_t offset, int32_t tile) {
    return offset > 0 ? -(int64_t(offset) % tile) : -int64_t(offset);
}

} // namespace

FaceLayout LayoutFace(const Skin& skin, int32_t windowWidth, int32_t windowHeight) {
    const int64_t w = WidthOf(skin.faceRect);
    const int64_t h = HeightOf(skin.faceRect);
    const int64_t square = std::min(w, h);
    const int64_t x = PlaceAlongAxis(windowWidth, w, square, HorizontalMode(skin.placement));
    const int64_t y = PlaceAlongAxis(windowHeight, h, square, VerticalMode(skin.placement));

    // Every result is clamped far outside any window, where nothing is drawn.
    FaceLayout layout;
    layout.dialScreenRect = ClampedRect(x, y, x + w, y + h);
    layout.pivotX = ClampCoordinate(x + skin.pivotOffsetX + w / 2);
    layout.pivotY = ClampCoordinate(y + skin.pivotOffsetY + h / 2);

    const int64_t hubWidth = WidthOf(skin.hubRect);
    const int64_t hubHeight = HeightOf(skin.hubRect);
    const int64_t hubLeft = x + skin.pivotOffsetX + (w - hubWidth) / 2;
    const int64_t hubTop = y + skin.pivotOffsetY + (h - hubHeight) / 2;
    layout.hubScreenRect = ClampedRect(hubLeft, hubTop, hubLeft + hubWidth, hubTop + hubHeight);

    const int64_t indicatorLeft = x + skin.gpsIndicatorX;
    const int64_t indicatorTop = y + skin.gpsIndicatorY;
    layout.gpsIndicatorScreenRect =
        ClampedRect(indicatorLeft, indicatorTop, indicatorLeft + WidthOf(skin.gpsIndicatorRect),
                    indicatorTop + HeightOf(skin.gpsIndicatorRect));
    return layout;
}

std::vector<TileCopy> PlanTiles(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx,
                                int32_t sy, int32_t tw, int32_t th) {
    std::vector<TileCopy> copies;
    if (tw <= 0 || th <= 0)
        return copies;
    // 64-bit grid positions, so that a step past the area's end cannot overflow.
    for (int64_t u = FirstGridLine(sx, tw); u < width; u += tw) {
        for (int64_t v = FirstGridLine(sy, th); v < height; v += th) {
            int64_t copyWidth = u + tw > width ? width - u : tw;
            int64_t copyHeight = v + th > height ? height - v : th;
            TileCopy copy;
            if (u < 0) {
                copy.sourceX = int32_t(-u);
                copy.destX = x;
                copyWidth += u;
            } else {
                copy.destX = int32_t(x + u);
            }
            if (v < 0) {
                copy.sourceY = int32_t(-v);
                copy.destY = y;
                copyHeight += v;
            } else {
                copy.destY = int32_t(y + v);
            }
            copy.width = int32_t(copyWidth);
            copy.height = int32_t(copyHeight);
            copies.push_back(copy);
        }
    }
    return copies;
}

} // namespace mv
