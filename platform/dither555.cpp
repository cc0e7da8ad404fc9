#include "platform/dither555.h"

#include "platform/pixel_format.h"

namespace mv {

namespace {

constexpr int kPatternSize = 4;
constexpr int kThresholds = kPatternSize * kPatternSize;

// Thresholds in the order that spreads them evenly over every 2 x 2 and 4 x 4 block.
constexpr int kBayer[kPatternSize][kPatternSize] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// kLevels[t][v]: the 5-bit level of the 8-bit channel value v under threshold t.
using LevelTable = std::array<std::array<uint8_t, 256>, kThresholds>;

constexpr LevelTable MakeLevels() {
    LevelTable levels{};
    for (uint32_t value = 0; value < 256; ++value) {
        uint32_t below = value >> 3;
        if (Expand5To8(below) > value)
            --below;
        for (int threshold = 0; threshold < kThresholds; ++threshold) {
            uint32_t level = below;
            if (below < 31) {
                // Up when the value's place between the two levels lies above the threshold's
                // (threshold + 1/2) / 16.
                const uint32_t gap = Expand5To8(below + 1) - Expand5To8(below);
                if ((value - Expand5To8(below)) * 2 * kThresholds >
                    uint32_t(2 * threshold + 1) * gap)
                    level = below + 1;
            }
            levels[size_t(threshold)][value] = uint8_t(level);
        }
    }
    return levels;
}

constexpr LevelTable kLevels = MakeLevels();

} // namespace

uint16_t Dither555(QRgb color, int32_t x, int32_t y) {
    const auto& level = kLevels[size_t(kBayer[y & 3][x & 3])];
    return uint16_t(level[size_t(qRed(color))] << 10 | level[size_t(qGreen(color))] << 5 |
                    level[size_t(qBlue(color))]);
}

std::array<uint16_t, 4> DitherRow555(QRgb color, int32_t y) {
    return {Dither555(color, 0, y), Dither555(color, 1, y), Dither555(color, 2, y),
            Dither555(color, 3, y)};
}

QImage DitherTo555(const QImage& picture) {
    if (picture.isNull())
        return {};
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    QImage reduced(source.size(), QImage::Format_RGB555);
    if (source.isNull() || reduced.isNull())
        return {};
    const PixelRows<Rgb32Pixels, const QImage> in(source);
    const PixelRows<Rgb555Pixels, QImage> out(reduced);
    for (int32_t y = 0; y < source.height(); ++y)
        for (int32_t x = 0; x < source.width(); ++x)
            out[y][x] = Dither555(in[y][x], x, y);
    return reduced;
}

} // namespace mv
