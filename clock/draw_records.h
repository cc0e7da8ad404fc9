#pragma once
// Records shared by the skin loader and the clock face: off-screen drawing surfaces, the hand
// renderer with its per-skin resources and the three hands' state, and the screen's resolution.

#include "platform/geometry.h"

#include <QImage>
#include <QRegion>
#include <array>
#include <cstdint>
#include <optional>

namespace mv {

// An off-screen drawing surface. A 16-bit pixel surface (5-5-5, bit 15 zero, rows padded to a
// multiple of 4 bytes) has `pixels` set; a surface in the display's format leaves it null.
struct DrawSurface {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t* pixels = nullptr; // into `bitmap`'s storage; non-null means the 16-bit surface exists
    QImage bitmap;              // owns the pixels
    bool context = false;       // the surface is ready to be drawn into
    std::optional<QRegion> clip; // drawing stays inside this region; none = no clip
};

// Bytes per row of a 16-bit pixel surface: ((16 x width + 31) / 32) x 4.
constexpr int32_t SurfaceStride(int32_t width) {
    return ((16 * width + 31) / 32) * 4;
}

// Makes a 16-bit pixel surface; on any failure `pixels` stays null and nothing is left behind.
void CreateDrawSurface(int32_t width, int32_t height, int32_t bitsPerPixel, DrawSurface& surface);
void ReleaseDrawSurface(DrawSurface& surface);

// One shape of one hand at its current angle.
struct ShapeGeometry {
    std::optional<uint32_t> brush; // fill colour, made by the skin loader; none = not made
    std::optional<std::array<Point, 4>> quad;
    Point baseCenter;
    Point tipCenter;
    std::optional<std::array<Point, 4>> surfaceQuad;
    Point surfaceBaseCenter;
    Point surfaceTipCenter;
};

struct HandState {
    double angle = 0.0;
    double drawnAngle = 0.0;
    ShapeGeometry mainGeometry;
    ShapeGeometry overlayGeometry;
    Rect bounds;
};

struct HandRenderer {
    int32_t shadowOn = 0;
    int32_t handReach = 0;
    int32_t shadowReach = 0;
    DrawSurface supersampleSurface;
    DrawSurface shadowSurface;
    int32_t smoothShapes = 0;
    int32_t smoothMotion = 0;
    int32_t pivotX = 0;
    int32_t pivotY = 0;
    Rect workRect;
    std::array<HandState, 3> hands; // 0 hour, 1 minute, 2 second
    Rect handsBounds;
};

// Frees the per-skin resources: both surfaces and every brush.
void ReleaseHandRenderer(HandRenderer& renderer);

// Moves the pivot and the working square that holds every hand and shadow.
void SetPivot(HandRenderer& renderer, int32_t pivotX, int32_t pivotY);

} // namespace mv
