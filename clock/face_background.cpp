#include "clock/face_background.h"

#include "clock/face_layout.h"
#include "platform/draw_copy.h"
#include "platform/draw_fill.h"

namespace mv {

namespace {

const QRegion* ClipOf(const DrawSurface& surface) {
    return surface.clip ? &*surface.clip : nullptr;
}

} // namespace

void DrawBackground(const Skin& skin, DrawSurface& backBuffer) {
    const Rect whole{0, 0, backBuffer.width, backBuffer.height};
    const SkinImage& picture = skin.backgroundImage;
    if (!picture.bitmap.isNull()) {
        // The picture wins over the colours; a 16-bit back buffer takes its dithered copy.
        const bool dithered =
            backBuffer.bitmap.format() == QImage::Format_RGB555 && !picture.dc555.isNull();
        TileImage(backBuffer, 0, 0, whole.right, whole.bottom,
                  dithered ? picture.dc555 : picture.dc, 0, 0, picture.width, picture.height);
    } else if (skin.backgroundTopColor == skin.backgroundBottomColor) {
        FillRectangle(backBuffer.bitmap, whole, skin.backgroundTopColor, ClipOf(backBuffer));
    } else {
        FillVerticalGradient(backBuffer.bitmap, whole, skin.backgroundTopColor,
                             skin.backgroundBottomColor, ClipOf(backBuffer));
    }
}

void TileImage(DrawSurface& destination, int32_t x, int32_t y, int32_t width, int32_t height,
               const QImage& source, int32_t sx, int32_t sy, int32_t tw, int32_t th) {
    for (const TileCopy& copy : PlanTiles(x, y, width, height, sx, sy, tw, th))
        CopyPixels(
            destination.bitmap, {copy.destX, copy.destY}, source,
            {copy.sourceX, copy.sourceY, copy.sourceX + copy.width, copy.sourceY + copy.height},
            ClipOf(destination));
}

} // namespace mv
