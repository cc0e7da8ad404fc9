#include "clock/frame_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace mv {

namespace {

// Room for what the line-and-radius model leaves out: corners truncated to whole pixels, the
// surface geometry rounded at twice the resolution, edges widened by the 2 x 2 averaging.
constexpr double kSlack = 2.0;

// A round-ended bar: every point within radius of the line from `from` to `to`.
struct Bar {
    Point from;
    Point to;
    int32_t radius = 0;
};

struct Span {
    double left = 0.0;
    double right = 0.0;
};

// The x extent of the part of the line whose y lies in [low, high], if any.
std::optional<Span> LineSpan(Point from, Point to, double low, double high) {
    if (from.y == to.y) {
        if (from.y < low || from.y > high)
            return std::nullopt;
        return Span{double(std::min(from.x, to.x)), double(std::max(from.x, to.x))};
    }
    const double dy = to.y - from.y;
    double enter = (low - from.y) / dy;
    double leave = (high - from.y) / dy;
    if (enter > leave)
        std::swap(enter, leave);
    enter = std::max(enter, 0.0);
    leave = std::min(leave, 1.0);
    if (enter > leave)
        return std::nullopt;
    const double a = from.x + enter * (to.x - from.x);
    const double b = from.x + leave * (to.x - from.x);
    return Span{std::min(a, b), std::max(a, b)};
}

// Widens span to hold the bar's pixels in rows [top, bottom), moved by (shift, shift).
void AddBar(std::optional<Span>& span, const Bar& bar, int32_t shift, int32_t top, int32_t bottom) {
    const double reach = bar.radius + kSlack;
    const std::optional<Span> line =
        LineSpan(bar.from, bar.to, top - shift - reach, bottom - shift + reach);
    if (!line)
        return;
    const Span moved{line->left + shift - reach, line->right + shift + reach};
    span =
        span ? Span{std::min(span->left, moved.left), std::max(span->right, moved.right)} : moved;
}

Bar BarOf(const HandShape& shape, const ShapeGeometry& geometry) {
    return {
        geometry.baseCenter, geometry.tipCenter,
        std::max(std::abs(int32_t(shape.baseHalfWidth)), std::abs(int32_t(shape.tipHalfWidth)))};
}

QRect ToQRect(const Rect& rect) {
    return {rect.left, rect.top, rect.Width(), rect.Height()};
}

} // namespace

QRegion HandCoverage(const HandStyle& style, const HandState& hand, int32_t shadowOffset) {
    const Rect& bounds = hand.bounds;
    if (bounds.IsEmpty())
        return {};
    const Bar main = BarOf(style.main, hand.mainGeometry);
    const bool overlay = style.overlay.tipDistance != 0;
    const Bar over = overlay ? BarOf(style.overlay, hand.overlayGeometry) : Bar{};

    std::vector<QRect> bands;
    const int32_t first =
        bounds.top - ((bounds.top % kCoverageBandRows) + kCoverageBandRows) % kCoverageBandRows;
    for (int32_t top = first; top < bounds.bottom; top += kCoverageBandRows) {
        const int32_t bottom = top + kCoverageBandRows;
        std::optional<Span> span;
        AddBar(span, main, 0, top, bottom);
        if (shadowOffset != 0)
            AddBar(span, main, shadowOffset, top, bottom);
        if (overlay)
            AddBar(span, over, 0, top, bottom);
        if (!span)
            continue;
        const Rect band = IntersectRect(
            {int32_t(std::floor(span->left)), top, int32_t(std::ceil(span->right)) + 1, bottom},
            bounds);
        if (!band.IsEmpty())
            bands.push_back(ToQRect(band));
    }
    // One rectangle per band, top to bottom: the banded form a region keeps anyway.
    QRegion region;
    region.setRects(bands.data(), int(bands.size()));
    return region;
}

QRegion ToSurfaceRegion(const QRegion& region, const Rect& workRect, int32_t scale) {
    std::vector<QRect> rects;
    rects.reserve(size_t(region.rectCount()));
    for (const QRect& r : region)
        rects.emplace_back((r.x() - workRect.left) * scale, (r.y() - workRect.top) * scale,
                           r.width() * scale, r.height() * scale);
    QRegion surface;
    surface.setRects(rects.data(), int(rects.size()));
    return surface;
}

} // namespace mv
