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

// Where the readable part of sourceRect (inside a source of sourceWidth x sourceHeight) lands in
// the target when sourceRect's corner goes to destination and each source pixel becomes a
// scale x scale block. Worked out in 64 bits: a rectangle and a destination from opposite ends of
// the 32-bit range must not wrap round into the target.
inline Rect CopyDestination(Point destination, int32_t sourceWidth, int32_t sourceHeight,
                            const Rect& sourceRect, int32_t scale) {
    const Rect readable = IntersectRect(sourceRect, {0, 0, sourceWidth, sourceHeight});
    if (readable.IsEmpty())
        return {};
    const int64_t left = destination.x + (int64_t(readable.left) - sourceRect.left) * scale;
    const int64_t top = destination.y + (int64_t(readable.top) - sourceRect.top) * scale;
    return ClampedRect(left, top, left + int64_t(readable.Width()) * scale,
                       top + int64_t(readable.Height()) * scale);
}

inline Rect CopyDestination(Point destination, const QImage& source, const Rect& sourceRect,
                            int32_t scale) {
    return CopyDestination(destination, source.width(), source.height(), sourceRect, scale);
}

// Maps a target position of a one-to-one copy back to the source. For a position inside the
// copy's CopyDestination the result lies inside the source.
class SourceOffset {
public:
    SourceOffset(const Rect& sourceRect, Point destination)
        : x_(int64_t(sourceRect.left) - destination.x),
          y_(int64_t(sourceRect.top) - destination.y) {}
    int32_t Column(int32_t targetX) const { return int32_t(targetX + x_); }
    int32_t Row(int32_t targetY) const { return int32_t(targetY + y_); }

private:
    int64_t x_;
    int64_t y_;
};

} // namespace mv
