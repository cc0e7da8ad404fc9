#pragma once
// Rectangle fills: one colour, or a vertical colour gradient. Colours are 0x00BBGGRR; rectangles
// exclude their right and bottom edges.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>
#include <cstdint>

namespace mv {

void FillRectangle(QImage& target, const Rect& area, uint32_t color, const QRegion* clip);

// Each channel runs linearly from topColor on the area's first row to bottomColor at its bottom
// edge (the row just below the area), truncated: row y of an area h rows high has
// top + (bottom - top) x y / h. Into a 16-bit 5-5-5 target the rows are dithered with a pattern
// fixed to the target's pixels, so that any part drawn alone matches the whole.
void FillVerticalGradient(QImage& target, const Rect& area, uint32_t topColor, uint32_t bottomColor,
                          const QRegion* clip);

} // namespace mv
