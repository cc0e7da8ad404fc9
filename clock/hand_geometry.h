#pragma once
// The geometry of the hands at their angles: the corners of each shape's tapered bar and the
// centres of its ends, in window and in surface coordinates, and each hand's bounding rectangle.

#include "clock/draw_records.h"
#include "platform/geometry.h"
#include "skin/skin.h"

#include <array>
#include <cstdint>
#include <optional>

namespace mv {

struct Circle {
    int32_t x = 0;
    int32_t y = 0;
    int32_t radius = 0;
};

// Moves point by distance along a hand at angle (radians, clockwise from 12 o'clock), rounding
// each coordinate to the nearest pixel.
void OffsetAlongAngle(int32_t distance, double angle, Point& point);

// The quadrilateral between the two outer tangents of the circles: the contact points on the
// smaller circle's side k = -1, then the larger's, then the larger's and the smaller's on side
// +1. Coordinates are truncated toward zero. False, with quad untouched, when one circle lies
// inside the other or the centres coincide.
bool TangentQuad(const Circle& first, const Circle& second, std::array<Point, 4>& quad);

// Places one shape at angle about pivot. With a surface pivot, also in surface coordinates,
// computed at the surface's resolution with every length multiplied by scale.
void ComputeShapeGeometry(const HandShape& shape, ShapeGeometry& geometry, double angle,
                          Point pivot, std::optional<Point> surfacePivot, int32_t scale);

// Places a hand at its state's angle and sets its bounds: the main shape's extent, grown by the
// shadow offset to the right and downward when shadowFlag is 1, and by one 96-dpi pixel on every
// side when scale is not 1.
void ComputeHandGeometry(const HandStyle& style, HandState& state, Point pivot,
                         std::optional<Point> surfacePivot, int32_t scale, int32_t shadowFlag);

// Places every hand that has a main shape and sets handsBounds to the union of their bounds.
// A hand without a main shape keeps its previous geometry and is not counted.
void ComputeAllHands(const Skin& skin, HandRenderer& renderer);

} // namespace mv
