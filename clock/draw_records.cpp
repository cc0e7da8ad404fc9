#include "clock/draw_records.h"

#include "platform/screen.h"

namespace mv {

void CreateDrawSurface(int32_t width, int32_t height, int32_t bitsPerPixel, DrawSurface& surface) {
    surface.width = width;
    surface.height = height;
    surface.pixels = nullptr;
    surface.context = false;
    surface.clip.reset();
    surface.bitmap = QImage();
    if (bitsPerPixel != 16 || width <= 0 || height <= 0)
        return;
    QImage bitmap(width, height, QImage::Format_RGB555);
    if (bitmap.isNull() || bitmap.bytesPerLine() != SurfaceStride(width))
        return;
    surface.bitmap = std::move(bitmap);
    surface.pixels = reinterpret_cast<uint16_t*>(surface.bitmap.bits());
    surface.context = true;
}

void ReleaseDrawSurface(DrawSurface& surface) {
    surface.clip.reset();
    surface.context = false;
    surface.pixels = nullptr;
    surface.bitmap = QImage();
}

void ReleaseHandRenderer(HandRenderer& renderer) {
    if (renderer.shadowSurface.pixels != nullptr)
        ReleaseDrawSurface(renderer.shadowSurface);
    if (renderer.supersampleSurface.pixels != nullptr)
        ReleaseDrawSurface(renderer.supersampleSurface);
    for (HandState& hand : renderer.hands) {
        hand.overlayGeometry.brush.reset();
        hand.mainGeometry.brush.reset();
    }
}

void SetPivot(HandRenderer& renderer, int32_t pivotX, int32_t pivotY) {
    renderer.pivotX = pivotX;
    renderer.pivotY = pivotY;
    renderer.workRect = {pivotX - renderer.handReach, pivotY - renderer.handReach,
                         pivotX + renderer.shadowReach, pivotY + renderer.shadowReach};
}

} // namespace mv
