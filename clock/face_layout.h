#pragma once
// Where the dial, the hub, the GPS indicator and the hands' pivot go in a window of a given size,
// and how a background tile is laid over an area.

#include "platform/geometry.h"
#include "skin/skin.h"

#include <cstdint>
#include <vector>

namespace mv {

// Window coordinates; each rectangle has the size of its part of the face image.
struct FaceLayout {
    Rect dialScreenRect;
    Rect hubScreenRect;
    Rect gpsIndicatorScreenRect;
    int32_t pivotX = 0;
    int32_t pivotY = 0;
};

// Centres the dial along an axis where the window is larger; elsewhere the skin's placement
// decides which part stays in view. Positions may be negative: the drawing is cut at the edges.
FaceLayout LayoutFace(const Skin& skin, int32_t windowWidth, int32_t windowHeight);

// One block copy of a tile: from (sourceX, sourceY) of the tile to (destX, destY).
struct TileCopy {
    int32_t sourceX = 0;
    int32_t sourceY = 0;
    int32_t destX = 0;
    int32_t destY = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const TileCopy&, const TileCopy&) = default;
};

// The copies that cover the area (x, y, width, height) with a tw x th tile whose grid starts at
// (-sx, -sy) relative to the area, column by column; the last column and row are cut at the
// area's edges. A tile size of 0 or less yields no copies.
std::vector<TileCopy> PlanTiles(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx,
                                int32_t sy, int32_t tw, int32_t th);

} // namespace mv
