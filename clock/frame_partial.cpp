// The partial frame: only what changed since the back buffer was drawn is drawn again.
#include "clock/face_renderer.h"
#include "clock/frame_compose.h"
#include "clock/frame_coverage.h"
#include "clock/hand_geometry.h"

#include <array>

namespace mv {

namespace {

// What a pass redraws: where the moved hands were, the indicator, where the hands are now. A
// hand's slot holds the pixels it covers (HandCoverage), not its whole bounding rectangle.
constexpr size_t kOldBoundsSlot = 0; // + hand index
constexpr size_t kIndicatorSlot = 3;
constexpr size_t kNewBoundsSlot = 4;           // + hand index
using CandidateSlots = std::array<QRegion, 7>; // empty = not filled

constexpr size_t kHour = 0;
constexpr size_t kSecond = 2;

QRegion UnionOfSlots(const CandidateSlots& slots, size_t first, size_t last) {
    QRegion region;
    for (size_t i = first; i <= last; ++i)
        region += slots[i];
    return region;
}

// The back buffer's clip while the dial and the indicator are drawn; redrawn is repaintRegion
// inside workRect.
QRegion BackBufferClip(const HandRenderer& renderer, const CandidateSlots& slots,
                       const QRegion& repaintRegion, const QRegion& redrawn) {
    if (SmoothMode(renderer)) {
        // Hands are redrawn inside workRect only; an indicator outside it is redrawn all the same.
        return redrawn + slots[kIndicatorSlot];
    }
    if (ShadowMode(renderer))
        return repaintRegion;
    // Plain: the dial is drawn again only where hands left and where the indicator changed; the
    // hands are then filled over the whole repaint region.
    return UnionOfSlots(slots, kOldBoundsSlot, kIndicatorSlot);
}

QRegion CoverageOf(const Skin& skin, const HandRenderer& renderer, size_t hand) {
    const HandStyle& style = skin.hands[hand];
    return HandCoverage(style, renderer.hands[hand], ShadowMode(renderer) ? style.shadowOffset : 0);
}

} // namespace

// One pass; returns the angles it deferred to the next pass, if any.
std::optional<PendingAngles>
FaceRenderer::DrawPartialPass(const std::optional<PendingAngles>& pending, bool& indicatorChanged) {
    HandRenderer& renderer = hands_;
    if (pending) {
        if (pending->hour != kNoPendingAngle)
            renderer.hands[0].angle = pending->hour;
        if (pending->minute != kNoPendingAngle)
            renderer.hands[1].angle = pending->minute;
    }

    CandidateSlots slots;
    PendingAngles next;
    if (indicatorChanged)
        slots[kIndicatorSlot] = RegionOf(layout_.gpsIndicatorScreenRect);

    // One moved hand per pass, the second hand first; with a changed indicator, all of them.
    bool taken = false;
    std::array<bool, 3> marked{};
    for (size_t k = kSecond + 1; k-- > kHour;) {
        HandState& hand = renderer.hands[k];
        if (hand.angle == hand.drawnAngle)
            continue;
        if (!taken || indicatorChanged) {
            slots[kOldBoundsSlot + k] = CoverageOf(skin_, renderer, k);
            hand.drawnAngle = hand.angle;
            marked[k] = true;
            taken = true;
        } else {
            (k == kHour ? next.hour : next.minute) = hand.angle;
            hand.angle = hand.drawnAngle; // stays where it was drawn for this pass
        }
    }
    if (!taken && !indicatorChanged)
        return std::nullopt;

    if (taken) {
        ComputeAllHands(skin_, renderer);
        for (size_t k = kHour; k <= kSecond; ++k)
            if (marked[k])
                slots[kNewBoundsSlot + k] = CoverageOf(skin_, renderer, k);
    }

    const QRegion repaintRegion = UnionOfSlots(slots, 0, slots.size() - 1);
    const QRegion redrawn = repaintRegion.intersected(RegionOf(renderer.workRect));
    const QRect box = redrawn.boundingRect();
    const Rect dirty{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};

    backBuffer_.clip = BackBufferClip(renderer, slots, repaintRegion, redrawn);
    if (!PlainMode(renderer)) {
        const QRegion surfaceClip =
            ToSurfaceRegion(redrawn, renderer.workRect, SurfaceScale(renderer));
        if (SmoothMode(renderer))
            renderer.supersampleSurface.clip = surfaceClip;
        if (ShadowMode(renderer))
            renderer.shadowSurface.clip = surfaceClip;
    }
    Compose(dirty, &redrawn, PlainMode(renderer) ? std::optional(repaintRegion) : std::nullopt);
    backBuffer_.clip.reset();
    renderer.supersampleSurface.clip.reset();
    renderer.shadowSurface.clip.reset();

    InvalidateWindowRegion(paint_, repaintRegion);
    if (next.hour == kNoPendingAngle && next.minute == kNoPendingAngle)
        return std::nullopt;
    return next;
}

bool FaceRenderer::DrawPartialPasses(std::optional<PendingAngles> pending, bool gpsTimeValid) {
    // Only the first pass can see the indicator change; it then takes every moved hand at once.
    bool indicatorChanged = TakeIndicator(gpsTimeValid);
    const bool changed = indicatorChanged;
    while (std::optional<PendingAngles> next = DrawPartialPass(pending, indicatorChanged)) {
        // The screen shows this pass before the next one is drawn.
        PaintInvalidNow(paint_);
        pending = next;
        indicatorChanged = false;
    }
    return changed;
}

bool FaceRenderer::DrawPartialFrame(const CalendarTime& shown, bool gpsTimeValid) {
    ComputeDisplayTime(shown);
    return DrawPartialPasses(std::nullopt, gpsTimeValid);
}

bool FaceRenderer::DrawPartialFrame(PendingAngles pending, bool gpsTimeValid) {
    return DrawPartialPasses(pending, gpsTimeValid);
}

} // namespace mv
