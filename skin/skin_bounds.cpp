#include "skin/skin_bounds.h"

namespace mv {

namespace {

bool IsAbsent(const Rect& rect) {
    return rect == Rect{};
}

// Inside (0, 0, width, height) and not inverted; an empty rectangle inside is allowed.
bool LiesInside(const Rect& rect, int32_t width, int32_t height) {
    return 0 <= rect.left && rect.left <= rect.right && rect.right <= width && 0 <= rect.top &&
           rect.top <= rect.bottom && rect.bottom <= height;
}

bool Within(int32_t value, int32_t limit) {
    return -limit <= value && value <= limit;
}

bool IsDrawableShape(const HandShape& shape) {
    return Within(shape.tipDistance, kMaxHandDistance) &&
           Within(shape.baseDistance, kMaxHandDistance) && 0 <= shape.tipHalfWidth &&
           shape.tipHalfWidth <= kMaxHandHalfWidth && 0 <= shape.baseHalfWidth &&
           shape.baseHalfWidth <= kMaxHandHalfWidth;
}

const char* RectProblem(const SkinParameters& p, int32_t width, int32_t height) {
    const struct {
        const Rect& rect;
        const char* problem;
    } rects[] = {
        {p.faceRect, "face rectangle"},
        {p.hubRect, "hub rectangle"},
        {p.gpsIndicatorRect, "GPS indicator rectangle"},
    };
    for (const auto& [rect, problem] : rects)
        if (!IsAbsent(rect) && !LiesInside(rect, width, height))
            return problem;
    return nullptr;
}

} // namespace

const char* ParameterProblem(const SkinParameters& p) {
    if (RectProblem(p, kMaxRectCoordinate, kMaxRectCoordinate) != nullptr)
        return "a rectangle is inverted or lies outside any picture";
    if (!Within(p.pivotOffsetX, kMaxFaceOffset) || !Within(p.pivotOffsetY, kMaxFaceOffset))
        return "pivot offset out of range";
    if (!Within(p.gpsIndicatorX, kMaxFaceOffset) || !Within(p.gpsIndicatorY, kMaxFaceOffset))
        return "GPS indicator position out of range";
    if (!Within(p.hubShadowOffset, kMaxShadowOffset))
        return "hub shadow offset out of range";
    for (const HandStyle& hand : p.hands) {
        if (hand.main.tipDistance == 0)
            continue; // an absent hand is never drawn, nor is its overlay
        if (!IsDrawableShape(hand.main) ||
            (hand.overlay.tipDistance != 0 && !IsDrawableShape(hand.overlay)))
            return "hand length or width out of range";
        if (!Within(hand.shadowOffset, kMaxShadowOffset))
            return "hand shadow offset out of range";
    }
    return nullptr;
}

const char* FaceRectProblem(const SkinParameters& parameters, int32_t width, int32_t height) {
    return RectProblem(parameters, width, height) != nullptr
               ? "a rectangle lies outside the face picture"
               : nullptr;
}

} // namespace mv
