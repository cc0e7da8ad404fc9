#include "platform/pixel_rows.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

// Each 5-bit channel widens to 8 bits by repeating its high bits, as Qt's own conversion does.
uint32_t Rgb555ToRgb32(uint16_t pixel) {
    const auto widen = [](uint32_t channel) { return (channel << 3) | (channel >> 2); };
    return (widen((pixel >> 10) & 31) << 16) | (widen((pixel >> 5) & 31) << 8) | widen(pixel & 31);
}

// The same for four pixels at once, in the vector registers every x86-64 and ARM64 has.
using FourWords = uint32_t __attribute__((vector_size(16)));
void FourRgb555ToRgb32(const uint16_t* in, uint32_t* out) {
    const FourWords pixel = {in[0], in[1], in[2], in[3]};
    const FourWords red = (pixel >> 10) & 31;
    const FourWords green = (pixel >> 5) & 31;
    const FourWords blue = pixel & 31;
    const FourWords result = (((red << 3) | (red >> 2)) << 16) |
                             (((green << 3) | (green >> 2)) << 8) | ((blue << 3) | (blue >> 2));
    std::memcpy(out, &result, sizeof(result));
}

} // namespace

void Rgb555RowToRgb32(const uint16_t* in, uint32_t* out, int count) {
    int x = 0;
    for (; x + 4 <= count; x += 4)
        FourRgb555ToRgb32(in + x, out + x);
    for (; x < count; ++x)
        out[x] = Rgb555ToRgb32(in[x]);
}

void ConvertRowToRgb32(const QImage& source, int y, int left, int width, uint32_t* out) {
    if (source.format() == QImage::Format_RGB32) {
        const auto* in = reinterpret_cast<const uint32_t*>(source.constScanLine(y));
        std::copy_n(in + left, width, out);
    } else if (source.format() == QImage::Format_RGB555) {
        Rgb555RowToRgb32(reinterpret_cast<const uint16_t*>(source.constScanLine(y)) + left, out,
                         width);
    } else {
        for (int x = 0; x < width; ++x)
            out[x] = source.pixel(left + x, y) & 0x00FFFFFF;
    }
}

} // namespace mv
