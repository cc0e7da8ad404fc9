#include "clock/frame_compose.h"

#include "clock/face_renderer.h"
#include "clock/hand_raster.h"
#include "platform/draw_blend.h"
#include "platform/draw_copy.h"
#include "platform/draw_scale.h"

namespace mv {

namespace {

const QRegion* ClipOf(const DrawSurface& surface) {
    return surface.clip ? &*surface.clip : nullptr;
}

Point TopLeft(const Rect& rect) {
    return {rect.left, rect.top};
}

// Copies part of the face image, leaving out the key colour.
void CopyFacePart(const Skin& skin, DrawSurface& target, const Rect& sourceRect,
                  const Rect& screenRect) {
    const SkinImage& face = skin.faceImage;
    if (target.bitmap.format() == QImage::Format_RGB555 && !face.keyed555.pixels.empty())
        CopyKeyed(target.bitmap, TopLeft(screenRect), face.keyed555, sourceRect, ClipOf(target));
    else
        CopyKeyed(target.bitmap, TopLeft(screenRect), face.keyed, sourceRect, ClipOf(target));
}

// Darkens the target under the hands' shadows: the target's part is copied into the shadow
// surface, the shadows are filled black there, and the result is blended back with the skin's
// opacity, which leaves the pixels outside the shadows exactly as they were. Between two 16-bit
// surfaces the same picture comes from a cleared shadow surface and a darkening of the pixels
// under black, without copying the target at all.
} // namespace

void FaceRenderer::DrawShadows(const Rect& dirty, const Rect& area) {
    HandRenderer& renderer = hands_;
    DrawSurface& shadow = renderer.shadowSurface;
    const bool smooth = SmoothMode(renderer);
    DrawSurface& target = smooth ? renderer.supersampleSurface : backBuffer_;
    const Rect targetPart = smooth ? area : dirty;
    const auto opacity = uint8_t(uint16_t(skin_.shadowAlpha) & 0xFF);
    const bool both555 = target.bitmap.format() == QImage::Format_RGB555 &&
                         shadow.bitmap.format() == QImage::Format_RGB555;
    if (both555) {
        ClearShadow555(shadow.bitmap, area, ClipOf(shadow));
        DrawHandsPass(skin_, renderer, shadow, SurfaceScale(renderer), HandPass::Shadow,
                      skin_.hubShadowOffset);
        DarkenUnderShadow555(target.bitmap, TopLeft(targetPart), shadow.bitmap, area, opacity,
                             ClipOf(target));
        return;
    }
    CopyPixels(shadow.bitmap, TopLeft(area), target.bitmap, targetPart, ClipOf(shadow));
    DrawHandsPass(skin_, renderer, shadow, SurfaceScale(renderer), HandPass::Shadow,
                  skin_.hubShadowOffset);
    BlendConstantAlpha(target.bitmap, TopLeft(targetPart), shadow.bitmap, area, opacity,
                       ClipOf(target));
}

// Dial, indicator (while the back buffer shows it), shadows over dirty, hands, 2 x 2 averaging
// over dirty, hub; each surface stays inside its clip. redrawn, when given, is the part of dirty
// that the clips let through, so the averaging skips the rest. handsClip, when given, becomes the
// back buffer's clip after the dial and the indicator are drawn.
void FaceRenderer::Compose(const Rect& dirty, const QRegion* redrawn,
                           const std::optional<QRegion>& handsClip) {
    const Skin& skin = skin_;
    HandRenderer& renderer = hands_;
    DrawSurface& backBuffer = backBuffer_;

    CopyFacePart(skin, backBuffer, skin.faceRect, layout_.dialScreenRect);
    if (gpsIndicatorDrawn_)
        CopyFacePart(skin, backBuffer, skin.gpsIndicatorRect, layout_.gpsIndicatorScreenRect);
    if (handsClip)
        backBuffer.clip = *handsClip;

    const bool smooth = SmoothMode(renderer);
    const Rect area = ToSurfaceRect(renderer, dirty);
    if (smooth)
        ScaleCopy2x(renderer.supersampleSurface.bitmap, TopLeft(area), backBuffer.bitmap, dirty,
                    ClipOf(renderer.supersampleSurface));
    if (ShadowMode(renderer))
        DrawShadows(dirty, area);

    DrawSurface& target = smooth ? renderer.supersampleSurface : backBuffer;
    DrawHandsPass(skin, renderer, target, SurfaceScale(renderer), HandPass::Hands, 0);
    if (smooth && redrawn != nullptr) {
        for (const QRect& part : *redrawn)
            Downsample2x2(renderer, backBuffer,
                          IntersectRect(dirty, {part.left(), part.top(), part.left() + part.width(),
                                                part.top() + part.height()}));
    } else if (smooth) {
        Downsample2x2(renderer, backBuffer, dirty);
    }

    // The hub covers the hands' ends at the pivot.
    CopyFacePart(skin, backBuffer, skin.hubRect, layout_.hubScreenRect);
}

} // namespace mv
