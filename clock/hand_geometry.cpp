#include "clock/hand_geometry.h"

#include "platform/screen.h"

#include <algorithm>
#include <cmath>

namespace mv {

namespace {

Point TruncatedPoint(double x, double y) {
    return {int32_t(x), int32_t(y)};
}

struct ShapePoints {
    Point base;
    Point tip;
    std::optional<std::array<Point, 4>> quad;
};

ShapePoints PlaceShape(const HandShape& shape, double angle, Point pivot, int32_t scale) {
    ShapePoints points{pivot, pivot, std::nullopt};
    if (shape.baseDistance != 0)
        OffsetAlongAngle(shape.baseDistance * scale, angle, points.base);
    OffsetAlongAngle(shape.tipDistance * scale, angle, points.tip);
    std::array<Point, 4> quad;
    if (TangentQuad({points.tip.x, points.tip.y, shape.tipHalfWidth * scale},
                    {points.base.x, points.base.y, shape.baseHalfWidth * scale}, quad))
        points.quad = quad;
    return points;
}

} // namespace

void OffsetAlongAngle(int32_t distance, double angle, Point& point) {
    point.x += int32_t(std::floor(distance * std::sin(angle) + 0.5));
    point.y -= int32_t(std::floor(distance * std::cos(angle) + 0.5));
}

bool TangentQuad(const Circle& first, const Circle& second, std::array<Point, 4>& quad) {
    const Circle& a = first.radius > second.radius ? second : first; // the smaller circle
    const Circle& b = first.radius > second.radius ? first : second;
    const int64_t xDistance = int64_t(a.x) - b.x;
    const int64_t yDistance = int64_t(a.y) - b.y;
    const double distance = std::sqrt(double(xDistance * xDistance + yDistance * yDistance));
    if (b.radius - a.radius >= distance)
        return false;

    const double inverse = 1.0 / distance;
    const double sine = (a.radius - b.radius) * inverse;
    const double cosine = std::sqrt(1.0 - sine * sine);
    const double dx = double(b.x) - double(a.x);
    const double dy = double(b.y) - double(a.y);
    const double scaleA = a.radius * inverse;
    const double scaleB = b.radius * inverse;

    std::array<Point, 2> contactA;
    std::array<Point, 2> contactB;
    for (int side = 0; side < 2; ++side) {
        const double k = side == 0 ? -1.0 : 1.0;
        const double nx = sine * dx - k * cosine * dy;
        const double ny = k * cosine * dx + sine * dy;
        contactA[side] = TruncatedPoint(a.x + scaleA * nx, a.y + scaleA * ny);
        contactB[side] = TruncatedPoint(b.x + scaleB * nx, b.y + scaleB * ny);
    }
    quad = {contactA[0], contactB[0], contactB[1], contactA[1]};
    return true;
}

void ComputeShapeGeometry(const HandShape& shape, ShapeGeometry& geometry, double angle,
                          Point pivot, std::optional<Point> surfacePivot, int32_t scale) {
    const ShapePoints window = PlaceShape(shape, angle, pivot, 1);
    geometry.quad = window.quad;
    geometry.baseCenter = window.base;
    geometry.tipCenter = window.tip;
    if (!surfacePivot)
        return;
    const ShapePoints surface = PlaceShape(shape, angle, *surfacePivot, scale);
    geometry.surfaceQuad = surface.quad;
    geometry.surfaceBaseCenter = surface.base;
    geometry.surfaceTipCenter = surface.tip;
}

void ComputeHandGeometry(const HandStyle& style, HandState& state, Point pivot,
                         std::optional<Point> surfacePivot, int32_t scale, int32_t shadowFlag) {
    ComputeShapeGeometry(style.main, state.mainGeometry, state.angle, pivot, surfacePivot, scale);
    if (style.overlay.tipDistance != 0)
        ComputeShapeGeometry(style.overlay, state.overlayGeometry, state.angle, pivot, surfacePivot,
                             scale);

    // The main shape and its shadow decide the bounds.
    const Point base = state.mainGeometry.baseCenter;
    const Point tip = state.mainGeometry.tipCenter;
    const int32_t baseRadius = style.main.baseHalfWidth;
    const int32_t tipRadius = style.main.tipHalfWidth;
    const int32_t shadowGrowth = style.shadowOffset * shadowFlag;
    Rect bounds{std::min(base.x - baseRadius, tip.x - tipRadius),
                std::min(base.y - baseRadius, tip.y - tipRadius),
                std::max(base.x + baseRadius, tip.x + tipRadius) + shadowGrowth,
                std::max(base.y + baseRadius, tip.y + tipRadius) + shadowGrowth};
    // An overlay that reaches beyond the body (a counterweight wider than the tail) is covered
    // too, or a frame would leave its old pixels behind when the hand moves.
    if (style.overlay.tipDistance != 0) {
        const Point overlayBase = state.overlayGeometry.baseCenter;
        const Point overlayTip = state.overlayGeometry.tipCenter;
        const int32_t overlayBaseRadius = style.overlay.baseHalfWidth;
        const int32_t overlayTipRadius = style.overlay.tipHalfWidth;
        bounds = UnionRect(
            bounds, {std::min(overlayBase.x - overlayBaseRadius, overlayTip.x - overlayTipRadius),
                     std::min(overlayBase.y - overlayBaseRadius, overlayTip.y - overlayTipRadius),
                     std::max(overlayBase.x + overlayBaseRadius, overlayTip.x + overlayTipRadius),
                     std::max(overlayBase.y + overlayBaseRadius, overlayTip.y + overlayTipRadius)});
    }
    if (scale != 1) {
        // Smoothed edges reach a little beyond the exact outline.
        const int32_t marginX = ScaleForDpi(1, DpiAxis::Horizontal);
        const int32_t marginY = ScaleForDpi(1, DpiAxis::Vertical);
        bounds = {bounds.left - marginX, bounds.top - marginY, bounds.right + marginX,
                  bounds.bottom + marginY};
    }
    state.bounds = bounds;
}

void ComputeAllHands(const Skin& skin, HandRenderer& renderer) {
    const bool smooth = renderer.supersampleSurface.pixels != nullptr;
    const bool shadow = renderer.shadowSurface.pixels != nullptr;
    const int32_t scale = smooth ? 2 : 1;
    const Point pivot{renderer.pivotX, renderer.pivotY};
    std::optional<Point> surfacePivot;
    if (smooth || shadow)
        surfacePivot = Point{(renderer.pivotX - renderer.workRect.left) * scale,
                             (renderer.pivotY - renderer.workRect.top) * scale};

    Rect handsBounds;
    for (size_t k = 0; k < renderer.hands.size(); ++k) {
        const HandStyle& style = skin.hands[k];
        if (style.main.tipDistance == 0)
            continue;
        HandState& hand = renderer.hands[k];
        ComputeHandGeometry(style, hand, pivot, surfacePivot, scale, shadow ? 1 : 0);
        handsBounds = UnionRect(handsBounds, hand.bounds);
    }
    renderer.handsBounds = handsBounds;
}

} // namespace mv
