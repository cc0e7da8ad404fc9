#pragma once
// The drawing that full and partial frames share.

#include "clock/draw_records.h"
#include "platform/geometry.h"

#include <QRegion>
#include <optional>

namespace mv {

inline bool SmoothMode(const HandRenderer& renderer) {
    return renderer.supersampleSurface.pixels != nullptr;
}
inline bool ShadowMode(const HandRenderer& renderer) {
    return renderer.shadowSurface.pixels != nullptr;
}
inline bool PlainMode(const HandRenderer& renderer) {
    return !SmoothMode(renderer) && !ShadowMode(renderer);
}
inline int32_t SurfaceScale(const HandRenderer& renderer) {
    return SmoothMode(renderer) ? 2 : 1;
}

// A window rectangle in the coordinates of the supersample and shadow surfaces.
inline Rect ToSurfaceRect(const HandRenderer& renderer, const Rect& rect) {
    const int32_t s = SurfaceScale(renderer);
    const Rect& work = renderer.workRect;
    return {(rect.left - work.left) * s, (rect.top - work.top) * s, (rect.right - work.left) * s,
            (rect.bottom - work.top) * s};
}

inline QRegion RegionOf(const Rect& rect) {
    return rect.IsEmpty() ? QRegion() : QRegion(rect.left, rect.top, rect.Width(), rect.Height());
}

} // namespace mv
