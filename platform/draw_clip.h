#pragma once
// Where a drawing operation may write: inside its target image and inside the clip region.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>

namespace mv {

inline Rect ImageRect(const QImage& image) {
    return {0, 0, image.width(), image.height()};
}

// Calls visit(part) for each part of area that lies inside the target and the clip (null = no
// clip). The parts don't overlap, so every pixel is visited at most once.
template <typename Visit>
void ForEachDrawableRect(const QImage& target, const Rect& area, const QRegion* clip,
                         Visit&& visit) {
    const Rect inside = IntersectRect(area, ImageRect(target));
    if (inside.IsEmpty())
        return;
    if (clip == nullptr) {
        visit(inside);
        return;
    }
    for (const QRect& r : *clip) {
        const Rect part =
            IntersectRect(inside, {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()});
        if (!part.IsEmpty())
            visit(part);
    }
}

// Where a copy of sourceRect to destination, each source pixel becoming a scale x scale block,
// lands in the target; the part of sourceRect outside the source image is left out.
inline Rect CopyDestination(Point destination, const QImage& source, const Rect& sourceRect,
                            int32_t scale) {
    const Rect readable = IntersectRect(sourceRect, ImageRect(source));
    if (readable.IsEmpty())
        return {};
    const int32_t left = destination.x + (readable.left - sourceRect.left) * scale;
    const int32_t top = destination.y + (readable.top - sourceRect.top) * scale;
    return {left, top, left + readable.Width() * scale, top + readable.Height() * scale};
}

} // namespace mv
