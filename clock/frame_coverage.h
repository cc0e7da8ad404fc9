#pragma once
// Which window pixels a hand can touch at its current geometry, as a stack of horizontal bands.
// A long hand at a slant fills a thin diagonal strip of its bounding rectangle; redrawing and
// repainting the bands instead of the rectangle saves most of a partial frame's work.

#include "clock/draw_records.h"
#include "platform/geometry.h"
#include "skin/skin.h"

#include <QRegion>

namespace mv {

// Rows per band; bands start at multiples of it, so the bands of two positions of a hand line up
// and their union stays one rectangle per band where they overlap.
constexpr int32_t kCoverageBandRows = 16;

// The pixels of the hand's main shape, its overlay and, with a non-zero shadowOffset, its shadow
// (the main shape moved right and down by shadowOffset), with smoothed edges and rounding
// included, never outside hand.bounds. Each shape lies inside the round-ended bar of its wider
// half width around the line from its base centre to its tip centre.
QRegion HandCoverage(const HandStyle& style, const HandState& hand, int32_t shadowOffset);

// The same region in the coordinates of the supersample and shadow surfaces: each window pixel
// becomes scale x scale surface pixels, relative to workRect's top-left corner.
QRegion ToSurfaceRegion(const QRegion& region, const Rect& workRect, int32_t scale);

} // namespace mv
