#include "platform/draw_shapes.h"

#include "platform/draw_clip.h"
#include "platform/pixel_format.h"

#include <algorithm>
#include <cmath>

namespace mv {

namespace {

// Fills, row by row, the spans [left, right) that spansOf(y, fill) passes to fill for each row of
// bounds.
template <typename SpansOf>
void FillSpans(QImage& target, const Rect& bounds, uint32_t color, const QRegion* clip,
               SpansOf&& spansOf) {
    WithTargetLayout(target, [&]<typename Layout>() {
        const auto pixel = Layout::FromRgb(RgbOfColor(color));
        const PixelRows<Layout, QImage> rows(target);
        ForEachDrawableRect(target, bounds, clip, [&](const Rect& part) {
            for (int32_t y = part.top; y < part.bottom; ++y) {
                auto* row = rows[y];
                spansOf(y, [&](int32_t left, int32_t right) {
                    left = std::max(left, part.left);
                    right = std::min(right, part.right);
                    if (left < right)
                        FillPixels(row + left, right - left, pixel);
                });
            }
        });
    });
}

// The first pixel whose centre lies at or right of x.
int32_t FirstCentreFrom(double x) {
    // ceil(x - 0.5) without a library call: truncation, then up by one where that went down.
    // x lies between two corners' whole coordinates, so the result fits.
    const double from = x - 0.5;
    const auto truncated = int32_t(from);
    return truncated + (double(truncated) < from ? 1 : 0);
}

} // namespace

void FillPolygon(QImage& target, const std::array<Point, 4>& corners, uint32_t color,
                 const QRegion* clip) {
    Rect bounds{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const Point& p : corners)
        bounds = {std::min(bounds.left, p.x), std::min(bounds.top, p.y),
                  std::max(bounds.right, p.x), std::max(bounds.bottom, p.y)};

    // The edges that rows of pixel centres cross: an edge from a to b crosses the centres of
    // the rows from min(a.y, b.y) to just before max(a.y, b.y), since corners have whole
    // coordinates and so never meet a row of centres.
    struct Edge {
        double x, y, dx, dy; // a, and b - a
        int32_t firstRow, endRow;
    };
    std::array<Edge, 4> edges;
    size_t edgeCount = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        const Point& a = corners[i];
        const Point& b = corners[(i + 1) % corners.size()];
        if (a.y != b.y)
            edges[edgeCount++] = {double(a.x),       double(a.y),        double(b.x - a.x),
                                  double(b.y - a.y), std::min(a.y, b.y), std::max(a.y, b.y)};
    }

    FillSpans(target, bounds, color, clip, [&](int32_t y, auto&& fill) {
        const double centreY = y + 0.5;
        std::array<double, 4> crossings;
        size_t count = 0;
        for (size_t i = 0; i < edgeCount; ++i) {
            const Edge& e = edges[i];
            if (y >= e.firstRow && y < e.endRow)
                crossings[count++] = e.x + (centreY - e.y) * e.dx / e.dy;
        }
        // At most four: an insertion sort.
        for (size_t i = 1; i < count; ++i)
            for (size_t j = i; j > 0 && crossings[j] < crossings[j - 1]; --j)
                std::swap(crossings[j], crossings[j - 1]);
        for (size_t i = 0; i + 1 < count; i += 2)
            fill(FirstCentreFrom(crossings[i]), FirstCentreFrom(crossings[i + 1]));
    });
}

void FillEllipse(QImage& target, const Rect& bounds, uint32_t color, const QRegion* clip) {
    if (bounds.IsEmpty())
        return;
    const double centreX = (double(bounds.left) + bounds.right) / 2;
    const double centreY = (double(bounds.top) + bounds.bottom) / 2;
    const double radiusX = bounds.Width() / 2.0;
    const double radiusY = bounds.Height() / 2.0;
    FillSpans(target, bounds, color, clip, [&](int32_t y, auto&& fill) {
        const double dy = (y + 0.5 - centreY) / radiusY;
        const double rest = 1.0 - dy * dy;
        if (rest <= 0.0)
            return;
        const double half = radiusX * std::sqrt(rest);
        // Centres strictly inside on both sides, so the span is symmetric about centreX.
        fill(int32_t(std::floor(centreX - half - 0.5)) + 1, FirstCentreFrom(centreX + half));
    });
}

} // namespace mv
