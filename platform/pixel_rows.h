#pragma once
// Rows of the back buffer as the 0x00RRGGBB words that display servers take.

#include <QImage>
#include <cstdint>

namespace mv {

// Widens 16-bit 5-5-5 pixels to 0x00RRGGBB words, each channel as (v << 3) | (v >> 2).
void Rgb555RowToRgb32(const uint16_t* in, uint32_t* out, int count);

// Converts `width` pixels of row `y` of `source`, from column `left`, into `out`.
void ConvertRowToRgb32(const QImage& source, int y, int left, int width, uint32_t* out);

} // namespace mv
