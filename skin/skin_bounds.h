#pragma once
// What a skin may hold so that every skin that loads can also be drawn: rectangles inside the face
// picture, and positions, hand sizes and shadow offsets small enough that no coordinate of the
// layout, the hands or the surfaces can overflow. Each limit lies far above any real face (the
// largest default skins, for screens up to 1440 pixels, have hands reaching about 535 pixels).

#include "platform/image_decode.h"
#include "skin/skin.h"

#include <cstdint>

namespace mv {

// An image block larger than this is refused before it is read: the largest default face block is
// well under a megabyte, and a picture of kMaxPictureSide squared compresses far below this.
constexpr int64_t kMaxImageBlockBytes = 32 * 1024 * 1024;

// A rectangle's coordinates can't lie outside a picture the decoder accepts.
constexpr int32_t kMaxRectCoordinate = kMaxPictureSide;
// The pivot offset and the GPS indicator's position are relative to the dial: beyond a picture's
// side they would put the hands or the indicator off any window the dial shows in.
constexpr int32_t kMaxFaceOffset = kMaxPictureSide;
// A hand's tip and base lie at most this far from the pivot, either way: hands longer than half a
// picture's side would leave the largest dial.
constexpr int32_t kMaxHandDistance = kMaxPictureSide / 2;
// Half the width of a hand at its base or tip; never negative.
constexpr int32_t kMaxHandHalfWidth = 1024;
// How far a hand's or the hub's shadow is displaced, either way.
constexpr int32_t kMaxShadowOffset = 1024;

// What is wrong with the parameter block on its own (null when nothing is): a rectangle that is
// inverted or lies outside any acceptable picture, a position or hand size beyond its limit. Only
// the shapes that are drawn are checked. An all-zero rectangle means the part is absent.
const char* ParameterProblem(const SkinParameters& parameters);

// What is wrong with the rectangles on a face picture of width x height (null when nothing is):
// each one present must lie inside the picture.
const char* FaceRectProblem(const SkinParameters& parameters, int32_t width, int32_t height);

} // namespace mv
