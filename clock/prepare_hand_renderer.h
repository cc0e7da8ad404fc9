#pragma once
// The hand renderer's per-skin resources: brushes, reaches and the 16-bit surfaces.

#include "clock/draw_records.h"
#include "skin/skin.h"

#include <cstdint>

namespace mv {

// A hand surface larger than this on a side is not made (a hostile skin could ask for gigabytes);
// the hands are then drawn without supersampling or shadow, as if making the surface had failed.
constexpr int32_t kMaxHandSurfaceSide = 8192;

// Makes the per-skin brushes, reaches and surfaces of the renderer; smoothShapes is already set.
void PrepareHandRenderer(const Skin& skin, HandRenderer& renderer, bool shadowSetting);

} // namespace mv
