#include "clock/face_background.h"
#include "clock/face_renderer.h"
#include "clock/frame_compose.h"
#include "clock/hand_geometry.h"
#include "clock/prepare_hand_renderer.h"

#include <QRectF>

namespace mv {

FaceRenderer::~FaceRenderer() {
    ReleaseBackBuffer();
    ReleaseSkin();
}

bool FaceRenderer::LoadSkin(const QString& path, const FaceOptions& options,
                            SkinLoadFailure& failure) {
    hands_.smoothShapes = options.smoothShapes;
    hands_.smoothMotion = options.smoothMotion;
    const bool loaded = mv::LoadSkin(path, skin_, failure);
    if (loaded || SkinParametersReplaced(failure.error)) {
        ReleaseHandRenderer(hands_);
        PrepareHandRenderer(skin_, hands_, options.shadow);
    }
    return loaded;
}

bool FaceRenderer::LoadSkin(const QString& path, const FaceOptions& options) {
    SkinLoadFailure failure;
    return LoadSkin(path, options, failure);
}

void FaceRenderer::ReleaseSkin() {
    mv::ReleaseSkin(skin_);
    ReleaseHandRenderer(hands_);
}

void FaceRenderer::MakeBackBuffer(int32_t width, int32_t height) {
    if (SmoothMode(hands_)) {
        // 16-bit pixels, so the 2 x 2 averaging writes straight into the back buffer.
        CreateDrawSurface(width, height, 16, backBuffer_);
        return;
    }
    backBuffer_ = DrawSurface{};
    backBuffer_.width = width;
    backBuffer_.height = height;
    if (width <= 0 || height <= 0)
        return;
    QImage bitmap(width, height, QImage::Format_RGB32);
    if (bitmap.isNull())
        return; // no bitmap: drawing has no effect until the next size change or rebuild
    backBuffer_.bitmap = std::move(bitmap);
    backBuffer_.context = true;
}

bool FaceRenderer::ResizeBackBuffer(int32_t width, int32_t height, bool gpsTimeValid) {
    if (width == backBuffer_.width && height == backBuffer_.height)
        return false;
    if (backBuffer_.context)
        ReleaseDrawSurface(backBuffer_);
    MakeBackBuffer(width, height);
    return DrawFullFrame(gpsTimeValid);
}

bool FaceRenderer::RebuildBackBuffer(bool gpsTimeValid) {
    const int32_t width = backBuffer_.width;
    const int32_t height = backBuffer_.height;
    backBuffer_.width = 0;
    backBuffer_.height = 0;
    const bool changed = ResizeBackBuffer(width, height, gpsTimeValid);
    return DrawFullFrame(gpsTimeValid) || changed;
}

void FaceRenderer::ReleaseBackBuffer() {
    if (backBuffer_.context)
        ReleaseDrawSurface(backBuffer_);
}

bool FaceRenderer::TakeIndicator(bool gpsTimeValid) {
    const bool changed = gpsTimeValid != gpsIndicatorDrawn_;
    gpsIndicatorDrawn_ = gpsTimeValid;
    return changed;
}

bool FaceRenderer::DrawFullFrame(bool gpsTimeValid) {
    backBuffer_.clip.reset();
    hands_.supersampleSurface.clip.reset();
    hands_.shadowSurface.clip.reset();

    layout_ = LayoutFace(skin_, backBuffer_.width, backBuffer_.height);
    SetPivot(hands_, layout_.pivotX, layout_.pivotY);
    DrawBackground(skin_, backBuffer_);
    const bool indicatorChanged = TakeIndicator(gpsTimeValid);

    // A full frame shows the angles the hands hold; it doesn't read the time.
    for (HandState& hand : hands_.hands)
        hand.drawnAngle = hand.angle;
    ComputeAllHands(skin_, hands_);

    Rect dirty = hands_.handsBounds;
    const int32_t hubShadowOffset = skin_.hubShadowOffset;
    if (ShadowMode(hands_) && hubShadowOffset != 0)
        dirty =
            UnionRect(dirty, OffsetRect(layout_.hubScreenRect, hubShadowOffset, hubShadowOffset));
    Compose(dirty, nullptr, std::nullopt);

    InvalidateWindowRegion(paint_, RegionOf({0, 0, backBuffer_.width, backBuffer_.height}));
    return indicatorChanged;
}

void FaceRenderer::PresentBackBuffer(QPainter& painter, const Rect& rect) const {
    const QImage& bitmap = backBuffer_.bitmap;
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
