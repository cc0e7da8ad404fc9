#pragma once
// The constant-opacity blend that lays the shadow surface over the picture under the hands.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>
#include <cstdint>

namespace mv {

// Blends sourceRect of source over the same-sized rectangle of the target at destination with
// opacity alpha: target = (source x alpha + target x (255 - alpha)) / 255 per channel, truncated,
// computed on the target's channels (5 bits on a 16-bit target, 8 bits on a 32-bit one).
// A target pixel whose source pixel is the target pixel itself (as a copy of the target into the
// source's format would have made it) keeps its exact value, also on a 32-bit target under a
// 16-bit source. Parts outside either image or outside the clip (null = no clip) are left out.
void BlendConstantAlpha(QImage& target, Point destination, const QImage& source,
                        const Rect& sourceRect, uint8_t alpha, const QRegion* clip);

} // namespace mv
