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

// The 16-bit shadow pass without copying the picture: the shadow surface's part is cleared to
// kShadowClear555 (bit 15 set, which no drawn pixel has), the shadows are filled black into it,
// and DarkenUnderShadow555 darkens exactly the target pixels under black shadow pixels as
// BlendConstantAlpha of a black source would. The result equals copying the target into the
// shadow surface, filling black and blending it back, at a fraction of the memory traffic.
constexpr uint16_t kShadowClear555 = 0xFFFF;
// Clears the part of area inside the clip (null = no clip); the shadows are then filled black
// under the same clip, and DarkenUnderShadow555 reads only what the same clip lets through.
void ClearShadow555(QImage& shadow, const Rect& area, const QRegion* clip);
// Both images 16-bit; parts outside either image or outside the clip (null = no clip) are left out.
void DarkenUnderShadow555(QImage& target, Point destination, const QImage& shadow,
                          const Rect& shadowRect, uint8_t alpha, const QRegion* clip);

} // namespace mv
