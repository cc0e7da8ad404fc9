#pragma once
// Filling the hands into a drawing surface, and the 2 x 2 averaging that turns the supersampled
// hands into smooth edges in the back buffer.

#include "clock/draw_records.h"
#include "platform/geometry.h"
#include "skin/skin.h"

#include <cstdint>

namespace mv {

// Which of a shape's two sets of points to fill: window coordinates (the back buffer) or surface
// coordinates (the supersample and shadow surfaces).
enum class ShapeCoordinates { Window, Surface };

// The hands in their colours, or their shadows in black.
enum class HandPass { Hands, Shadow };

// Fills one shape in color: a disc at each end whose cap bit is set and whose half width is more
// than 1 (radius half width x scale), then the quadrilateral if it has one; everything moved right
// and down by offset. Stays inside the surface's clip.
void DrawShape(const HandShape& shape, const ShapeGeometry& geometry, DrawSurface& target,
               ShapeCoordinates coordinates, int32_t scale, int32_t offset, uint32_t color);

// Fills every hand that has a main shape, hour first, so the second hand lies on top, and marks
// each as drawn at its angle. Hands pass: the main shape and the overlay in their colours, in
// surface coordinates when scale is 2. Shadow pass: the main shape in black, in surface
// coordinates moved by the hand's shadow offset x scale; then, when hubShadowOffset is not 0, the
// hub's shadow as a black ellipse the hub's size x scale around the pivot moved by that offset.
void DrawHandsPass(const Skin& skin, HandRenderer& renderer, DrawSurface& target, int32_t scale,
                   HandPass pass, int32_t hubShadowOffset);

// Writes into each back-buffer pixel inside dirty, the back buffer and workRect the average of
// its 2 x 2 block of the supersample surface, per 5-bit channel rounded down. Does nothing unless
// both are 16-bit pixel surfaces.
void Downsample2x2(const HandRenderer& renderer, DrawSurface& backBuffer, Rect dirty);

} // namespace mv
