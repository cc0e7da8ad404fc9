#pragma once
// Solid fills of the shapes the hands are made of, without an outline and without smoothing
// (the clock smooths by supersampling). A pixel is filled when its centre lies inside the shape.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>
#include <array>
#include <cstdint>

namespace mv {

// Fills the polygon through the four corners in colour (0x00BBGGRR), even-odd rule. Edges are
// half-open like rectangles: a pixel centre on the left or top edge is in, on the right or bottom
// edge out, so polygons that share an edge don't overlap.
void FillPolygon(QImage& target, const std::array<Point, 4>& corners, uint32_t color,
                 const QRegion* clip);

// Fills the ellipse inscribed in bounds (right and bottom edges excluded) in colour; the filled
// pixels are symmetric about the rectangle's centre lines.
void FillEllipse(QImage& target, const Rect& bounds, uint32_t color, const QRegion* clip);

} // namespace mv
