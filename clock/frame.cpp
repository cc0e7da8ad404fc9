#include "clock/frame.h"

#include "clock/face_background.h"
#include "clock/face_layout.h"
#include "clock/frame_compose.h"
#include "clock/hand_geometry.h"

#include <QRectF>

namespace mv {

namespace {

void MakeBackBuffer(AppState& state, int32_t width, int32_t height) {
    DrawSurface& backBuffer = state.backBuffer;
    if (SmoothMode(state.handRenderer)) {
        // 16-bit pixels, so the 2 x 2 averaging writes straight into the back buffer.
        CreateDrawSurface(width, height, 16, backBuffer);
        return;
    }
    backBuffer = DrawSurface{};
    backBuffer.width = width;
    backBuffer.height = height;
    if (width <= 0 || height <= 0)
        return;
    QImage bitmap(width, height, QImage::Format_RGB32);
    if (bitmap.isNull())
        return; // no bitmap: drawing has no effect until the next size change or rebuild
    backBuffer.bitmap = std::move(bitmap);
    backBuffer.context = true;
}

void ClearClips(AppState& state) {
    state.backBuffer.clip.reset();
    state.handRenderer.supersampleSurface.clip.reset();
    state.handRenderer.shadowSurface.clip.reset();
}

} // namespace

void ResizeBackBuffer(AppState& state, int32_t width, int32_t height) {
    DrawSurface& backBuffer = state.backBuffer;
    if (width == backBuffer.width && height == backBuffer.height)
        return;
    if (backBuffer.context)
        ReleaseDrawSurface(backBuffer);
    MakeBackBuffer(state, width, height);
    DrawFullFrame(state);
}

void RebuildBackBuffer(AppState& state) {
    const int32_t width = state.backBuffer.width;
    const int32_t height = state.backBuffer.height;
    state.backBuffer.width = 0;
    state.backBuffer.height = 0;
    ResizeBackBuffer(state, width, height);
    DrawFullFrame(state);
}

void DrawFullFrame(AppState& state) {
    HandRenderer& renderer = state.handRenderer;
    DrawSurface& backBuffer = state.backBuffer;
    ClearClips(state);

    const FaceLayout layout = LayoutFace(state.skin, backBuffer.width, backBuffer.height);
    state.dialScreenRect = layout.dialScreenRect;
    state.hubScreenRect = layout.hubScreenRect;
    state.gpsIndicatorScreenRect = layout.gpsIndicatorScreenRect;
    state.pivotX = layout.pivotX;
    state.pivotY = layout.pivotY;
    SetPivot(renderer, layout.pivotX, layout.pivotY);
    DrawBackground(state.skin, backBuffer);

    state.gpsIndicatorDrawn = state.gpsTimeValid;

    // A full frame shows the angles the hands hold; it doesn't read the time.
    for (HandState& hand : renderer.hands)
        hand.drawnAngle = hand.angle;
    ComputeAllHands(state.skin, renderer);

    Rect dirty = renderer.handsBounds;
    const int32_t hubShadowOffset = state.skin.hubShadowOffset;
    if (ShadowMode(renderer) && hubShadowOffset != 0)
        dirty = UnionRect(dirty, OffsetRect(state.hubScreenRect, hubShadowOffset, hubShadowOffset));
    Compose(state, dirty, nullptr, std::nullopt);

    InvalidateWindowRegion(state.windowPaint,
                           RegionOf({0, 0, backBuffer.width, backBuffer.height}));
}

void PresentBackBuffer(const AppState& state, QPainter& painter, const Rect& rect) {
    const QImage& bitmap = state.backBuffer.bitmap;
    const Rect part = IntersectRect(rect, {0, 0, bitmap.width(), bitmap.height()});
    if (bitmap.isNull() || part.IsEmpty())
        return;
    // The painter works in logical pixels; the back buffer's pixels are the device's own.
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF target(part.left / ratio, part.top / ratio, part.Width() / ratio,
                        part.Height() / ratio);
    painter.drawImage(target, bitmap, QRectF(part.left, part.top, part.Width(), part.Height()));
}

} // namespace mv
