#pragma once
// Ordered dithering of 8-bit colours to 5-5-5. A 5-5-5 channel has a level only every eight or so
// 8-bit steps, so a gradient reduced plainly shows bands. Here a 4 x 4 threshold pattern, fixed
// to the pixel's position, picks for each channel the level below or above the colour, so that
// over the pattern the average follows the 8-bit colour. A colour a 5-5-5 pixel holds exactly
// keeps that pixel everywhere, so flat areas and the key colour stay as they are.

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

namespace mv {

// The 5-5-5 pixel for colour at position (x, y).
uint16_t Dither555(QRgb color, int32_t x, int32_t y);

// The pixels of colour on row y for x = 0, 1, 2, 3 modulo 4.
std::array<uint16_t, 4> DitherRow555(QRgb color, int32_t y);

// The picture reduced to 5-5-5 with the pattern fixed to its top-left pixel; null for a null
// picture.
QImage DitherTo555(const QImage& picture);

} // namespace mv
