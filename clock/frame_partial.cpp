// The partial frame: only what changed since the back buffer was drawn is drawn again.
#include "clock/display_time.h"
#include "clock/frame.h"
#include "clock/frame_compose.h"
#include "clock/hand_geometry.h"
#include "gps/gps_time_valid.h"

#include <array>

namespace mv {

namespace {

// The rectangles a pass redraws: where the moved hands were, the indicator, where they are now.
constexpr size_t kOldBoundsSlot = 0; // + hand index
constexpr size_t kIndicatorSlot = 3;
constexpr size_t kNewBoundsSlot = 4; // + hand index
using CandidateSlots = std::array<std::optional<Rect>, 7>;

constexpr size_t kHour = 0;
constexpr size_t kSecond = 2;

QRegion UnionOfSlots(const CandidateSlots& slots, size_t first, size_t last) {
    QRegion region;
    for (size_t i = first; i <= last; ++i)
        if (slots[i])
            region += RegionOf(*slots[i]);
    return region;
}

// The back buffer's clip while the dial and the indicator are drawn.
QRegion BackBufferClip(const HandRenderer& renderer, const CandidateSlots& slots,
                       const QRegion& repaintRegion, const Rect& dirty) {
    if (SmoothMode(renderer)) {
        // dirty stays inside workRect; an indicator outside it is redrawn all the same.
        QRegion clip = RegionOf(dirty);
        if (slots[kIndicatorSlot])
            clip += RegionOf(*slots[kIndicatorSlot]);
        return clip;
    }
    if (ShadowMode(renderer))
        return repaintRegion;
    // Plain: the dial is drawn again only where hands left and where the indicator changed; the
    // hands are then filled over the whole repaint region.
    return UnionOfSlots(slots, kOldBoundsSlot, kIndicatorSlot);
}

// One pass; returns the angles it deferred to the next pass, if any.
std::optional<PendingAngles> DrawPartialPass(AppState& state,
                                             const std::optional<PendingAngles>& pending) {
    HandRenderer& renderer = state.handRenderer;
    if (pending) {
        if (pending->hour != kNoPendingAngle)
            renderer.hands[0].angle = pending->hour;
        if (pending->minute != kNoPendingAngle)
            renderer.hands[1].angle = pending->minute;
    } else {
        ComputeDisplayTime(state);
    }

    CandidateSlots slots;
    PendingAngles next;
    const bool indicatorChanged = state.gpsTimeValid != state.gpsIndicatorDrawn;
    if (indicatorChanged) {
        state.gpsIndicatorDrawn = state.gpsTimeValid;
        slots[kIndicatorSlot] = state.gpsIndicatorScreenRect;
    }

    // One moved hand per pass, the second hand first; with a changed indicator, all of them.
    bool taken = false;
    std::array<bool, 3> marked{};
    for (size_t k = kSecond + 1; k-- > kHour;) {
        HandState& hand = renderer.hands[k];
        if (hand.angle == hand.drawnAngle)
            continue;
        if (!taken || indicatorChanged) {
            slots[kOldBoundsSlot + k] = hand.bounds;
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
        ComputeAllHands(state.skin, renderer);
        for (size_t k = kHour; k <= kSecond; ++k)
            if (marked[k])
                slots[kNewBoundsSlot + k] = renderer.hands[k].bounds;
    }

    const QRegion repaintRegion = UnionOfSlots(slots, 0, slots.size() - 1);
    Rect box;
    for (const std::optional<Rect>& slot : slots)
        if (slot)
            box = UnionRect(box, *slot);
    const Rect dirty = IntersectRect(box, renderer.workRect);

    state.backBuffer.clip = BackBufferClip(renderer, slots, repaintRegion, dirty);
    const QRegion surfaceClip = RegionOf(ToSurfaceRect(renderer, dirty));
    if (SmoothMode(renderer))
        renderer.supersampleSurface.clip = surfaceClip;
    if (ShadowMode(renderer))
        renderer.shadowSurface.clip = surfaceClip;
    Compose(state, dirty, PlainMode(renderer) ? std::optional(repaintRegion) : std::nullopt);
    state.backBuffer.clip.reset();
    renderer.supersampleSurface.clip.reset();
    renderer.shadowSurface.clip.reset();

    InvalidateWindowRegion(state.windowPaint, repaintRegion);
    if (indicatorChanged)
        OnGpsTimeValidChanged(state);
    if (next.hour == kNoPendingAngle && next.minute == kNoPendingAngle)
        return std::nullopt;
    return next;
}

} // namespace

void DrawPartialFrame(AppState& state, std::optional<PendingAngles> pending) {
    while (std::optional<PendingAngles> next = DrawPartialPass(state, pending)) {
        // The screen shows this pass before the next one is drawn.
        PaintInvalidNow(state.windowPaint);
        pending = next;
    }
}

} // namespace mv
