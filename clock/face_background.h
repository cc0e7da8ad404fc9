#pragma once
// The background behind the dial: the skin's picture tiled over the back buffer, else a vertical
// colour gradient, else one colour.

#include "clock/draw_records.h"
#include "skin/skin.h"

#include <QImage>
#include <cstdint>

namespace mv {

// Fills the whole back buffer (inside its clip, if it has one).
void DrawBackground(const Skin& skin, DrawSurface& backBuffer);

// Covers the area (x, y, width, height) of the destination with copies of the tile at (0, 0) of
// source, tw x th pixels, the grid starting at (-sx, -sy) relative to the area; the last column
// and row are cut at the area's edges. A tile size of 0 or less draws nothing.
void TileImage(DrawSurface& destination, int32_t x, int32_t y, int32_t width, int32_t height,
               const QImage& source, int32_t sx, int32_t sy, int32_t tw, int32_t th);

} // namespace mv
