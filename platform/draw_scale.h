#pragma once
// The 2 x 2 enlarging copy that fills the supersample surface from the back buffer.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>

namespace mv {

// Copies sourceRect of source to the target at destination, each source pixel becoming a 2 x 2
// block. Parts outside either image or outside the clip (null = no clip) are left out.
void ScaleCopy2x(QImage& target, Point destination, const QImage& source, const Rect& sourceRect,
                 const QRegion* clip);

} // namespace mv
