#include "clock/hand_raster.h"

#include "platform/draw_shapes.h"

#include <cstring>

namespace mv {

namespace {

constexpr uint32_t kBlack = 0x000000;

const QRegion* ClipOf(const DrawSurface& surface) {
    return surface.clip ? &*surface.clip : nullptr;
}

void FillDisc(DrawSurface& target, Point centre, int32_t radius, int32_t offset, uint32_t color) {
    const int32_t left = centre.x - radius + offset;
    const int32_t top = centre.y - radius + offset;
    FillEllipse(target.bitmap, {left, top, left + 2 * radius, top + 2 * radius}, color,
                ClipOf(target));
}

// Two 64-bit words side by side; the compiler keeps them in one vector register where the
// processor has them and works on each word alone where it doesn't.
using WordPair = uint64_t __attribute__((vector_size(16)));

// The averages of neighbouring 2 x 2 blocks, per 5-bit channel rounded down. Each 64-bit word of
// upper and lower holds four pixels of a row, 16 bits apart, so two blocks. Red and blue are
// summed together, green apart, with room between the fields so that no sum carries into the next
// channel or pixel. The low 32 bits of each word of the result hold the two averages of its
// blocks as two pixels in the order of the blocks.
template <typename Words>
Words AverageBlockPairs(Words upper, Words lower) {
    constexpr uint64_t kRedBlue = 0x7C1F7C1F7C1F7C1Full;
    constexpr uint64_t kGreen = 0x03E003E003E003E0ull;
    constexpr uint64_t kLowLanes = 0x0000FFFF0000FFFFull;
    // Each 16-bit lane: the sum of one column of a block.
    const Words redBlue = (upper & kRedBlue) + (lower & kRedBlue);
    const Words green = (upper & kGreen) + (lower & kGreen);
    // Each 32-bit lane: the sum of one block.
    const Words redBlueSum = (redBlue & kLowLanes) + ((redBlue >> 16) & kLowLanes);
    const Words greenSum = (green & kLowLanes) + ((green >> 16) & kLowLanes);
    const Words averages =
        ((redBlueSum >> 2) & 0x00007C1F00007C1Full) | ((greenSum >> 2) & 0x000003E0000003E0ull);
    return averages | (averages >> 16);
}

// A 16-bit pixel surface whose bitmap has the size and row stride that the record says.
bool Is16BitSurface(const DrawSurface& surface) {
    const QImage& bitmap = surface.bitmap;
    return surface.pixels != nullptr && bitmap.format() == QImage::Format_RGB555 &&
           bitmap.width() == surface.width && bitmap.height() == surface.height &&
           bitmap.bytesPerLine() == SurfaceStride(surface.width);
}

} // namespace

void DrawShape(const HandShape& shape, const ShapeGeometry& geometry, DrawSurface& target,
               ShapeCoordinates coordinates, int32_t scale, int32_t offset, uint32_t color) {
    const bool surface = coordinates == ShapeCoordinates::Surface;
    const Point base = surface ? geometry.surfaceBaseCenter : geometry.baseCenter;
    const Point tip = surface ? geometry.surfaceTipCenter : geometry.tipCenter;
    const auto& quad = surface ? geometry.surfaceQuad : geometry.quad;

    // A half width of 0 or 1 ends in the quadrilateral's flat edge.
    if ((shape.capFlags & kCapBase) != 0 && shape.baseHalfWidth > 1)
        FillDisc(target, base, shape.baseHalfWidth * scale, offset, color);
    if ((shape.capFlags & kCapTip) != 0 && shape.tipHalfWidth > 1)
        FillDisc(target, tip, shape.tipHalfWidth * scale, offset, color);
    if (quad) {
        std::array<Point, 4> moved = *quad;
        for (Point& corner : moved)
            corner = {corner.x + offset, corner.y + offset};
        FillPolygon(target.bitmap, moved, color, ClipOf(target));
    }
}

void DrawHandsPass(const Skin& skin, HandRenderer& renderer, DrawSurface& target, int32_t scale,
                   HandPass pass, int32_t hubShadowOffset) {
    for (size_t k = 0; k < renderer.hands.size(); ++k) {
        const HandStyle& style = skin.hands[k];
        HandState& hand = renderer.hands[k];
        if (style.main.tipDistance != 0) {
            if (pass == HandPass::Hands) {
                const ShapeCoordinates coordinates =
                    scale == 2 ? ShapeCoordinates::Surface : ShapeCoordinates::Window;
                DrawShape(style.main, hand.mainGeometry, target, coordinates, scale, 0,
                          hand.mainGeometry.brush.value_or(style.main.color));
                if (style.overlay.tipDistance != 0)
                    DrawShape(style.overlay, hand.overlayGeometry, target, coordinates, scale, 0,
                              hand.overlayGeometry.brush.value_or(style.overlay.color));
            } else {
                // Only the body casts a shadow, also with a shadow offset of 0.
                DrawShape(style.main, hand.mainGeometry, target, ShapeCoordinates::Surface, scale,
                          style.shadowOffset * scale, kBlack);
            }
        }
        hand.drawnAngle = hand.angle;
    }

    if (hubShadowOffset != 0) {
        // 64-bit, then clamped: the ellipse is only ever drawn where it meets the surface.
        const int64_t width = (int64_t(skin.hubRect.right) - skin.hubRect.left) * scale;
        const int64_t height = (int64_t(skin.hubRect.bottom) - skin.hubRect.top) * scale;
        const int64_t centreX =
            (int64_t(renderer.pivotX) - renderer.workRect.left + hubShadowOffset) * scale;
        const int64_t centreY =
            (int64_t(renderer.pivotY) - renderer.workRect.top + hubShadowOffset) * scale;
        const int64_t left = centreX - width / 2;
        const int64_t top = centreY - height / 2;
        FillEllipse(target.bitmap, ClampedRect(left, top, left + width, top + height), kBlack,
                    ClipOf(target));
    }
}

void Downsample2x2(const HandRenderer& renderer, DrawSurface& backBuffer, Rect dirty) {
    const DrawSurface& supersample = renderer.supersampleSurface;
    if (!Is16BitSurface(supersample) || !Is16BitSurface(backBuffer))
        return;
    const Rect& work = renderer.workRect;
    Rect region = IntersectRect(dirty, {0, 0, backBuffer.width, backBuffer.height});
    region = IntersectRect(region, work);
    // Never read past the supersample surface, whatever workRect says.
    region = IntersectRect(region, {work.left, work.top, work.left + supersample.width / 2,
                                    work.top + supersample.height / 2});
    if (region.IsEmpty())
        return;

    const int32_t inStride = SurfaceStride(supersample.width);
    const int32_t outStride = SurfaceStride(backBuffer.width);
    const uint8_t* in = supersample.bitmap.constBits();
    uint8_t* out = backBuffer.bitmap.bits();
    const int32_t width = region.Width();
    for (int32_t y = region.top; y < region.bottom; ++y) {
        const uint8_t* upper = in + ptrdiff_t(2 * (y - work.top)) * inStride +
                               ptrdiff_t(2 * (region.left - work.left)) * 2;
        const uint8_t* lower = upper + inStride;
        uint8_t* row = out + ptrdiff_t(y) * outStride + ptrdiff_t(region.left) * 2;
        // Two back-buffer pixels at a time (pixels are little-endian words, so the left one is
        // in the low half); an odd last one is averaged alone.
        int32_t x = 0;
        for (; x + 3 < width; x += 4) {
            WordPair upperPixels;
            WordPair lowerPixels;
            std::memcpy(&upperPixels, upper + 4 * x, 16);
            std::memcpy(&lowerPixels, lower + 4 * x, 16);
            const WordPair averages = AverageBlockPairs(upperPixels, lowerPixels);
            const auto left = uint32_t(averages[0]);
            const auto right = uint32_t(averages[1]);
            std::memcpy(row + 2 * x, &left, 4);
            std::memcpy(row + 2 * x + 4, &right, 4);
        }
        for (; x + 1 < width; x += 2) {
            uint64_t upperPixels;
            uint64_t lowerPixels;
            std::memcpy(&upperPixels, upper + 4 * x, 8);
            std::memcpy(&lowerPixels, lower + 4 * x, 8);
            const auto averages = uint32_t(AverageBlockPairs(upperPixels, lowerPixels));
            std::memcpy(row + 2 * x, &averages, 4);
        }
        if (x < width) {
            uint32_t upperPair;
            uint32_t lowerPair;
            std::memcpy(&upperPair, upper + 4 * x, 4);
            std::memcpy(&lowerPair, lower + 4 * x, 4);
            const auto average = uint16_t(AverageBlockPairs<uint64_t>(upperPair, lowerPair));
            std::memcpy(row + 2 * x, &average, 2);
        }
    }
}

} // namespace mv
