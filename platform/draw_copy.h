#pragma once
// Copies of a rectangle of pixels between images at the same size: plain, or leaving out the
// pixels of the skin's key colour. Parts outside either image or outside the clip (null = no
// clip) are left out.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>

namespace mv {

// Copies sourceRect of source to the target with its top-left corner at destination. Source and
// target may be the same image: the copy reads the picture as it was before the call.
void CopyPixels(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                const QRegion* clip);

// The same from a keyed picture (premultiplied ARGB, alpha 0 exactly on the key colour): key
// pixels leave the target unchanged, opaque pixels are copied exactly, anything between is drawn
// over the target.
void CopyKeyed(QImage& target, Point destination, const QImage& keyed, const Rect& sourceRect,
               const QRegion* clip);

} // namespace mv
