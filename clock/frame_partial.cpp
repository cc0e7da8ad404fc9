// The partial frame: only what changed since the back buffer was drawn is drawn again.
#include "clock/display_time.h"
#include "clock/frame.h"
#include "clock/frame_compose.h"
#include "clock/frame_coverage.h"
#include "clock/hand_geometry.h"
#include "platform/utc_time.h"

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

QRegion CoverageOf(const AppState& state, size_t hand) {
    const HandRenderer& renderer = state.handRenderer;
    const HandStyle& style = state.skin.hands[hand];
    return HandCoverage(style, renderer.hands[hand], ShadowMode(renderer) ? style.shadowOffset : 0);
}

// One pass; returns the angles it deferred to the next pass, if any.
std::optional<PendingAngles> DrawPartialPass(AppState& state, const CalendarTime& shown,
                                             const std::optional<PendingAngles>& pending) {
    HandRenderer& renderer = state.handRenderer;
    if (pending) {
        if (pending->hour != kNoPendingAngle)
            renderer.hands[0].angle = pending->hour;
        if (pending->minute != kNoPendingAngle)
            renderer.hands[1].angle = pending->minute;
    } else {
        ComputeDisplayTime(state, shown);
    }

    CandidateSlots slots;
    PendingAngles next;
    const bool indicatorChanged = state.gpsTimeValid != state.gpsIndicatorDrawn;
    if (indicatorChanged) {
        state.gpsIndicatorDrawn = state.gpsTimeValid;
        slots[kIndicatorSlot] = RegionOf(state.gpsIndicatorScreenRect);
    }

    // One moved hand per pass, the second hand first; with a changed indicator, all of them.
    bool taken = false;
    std::array<bool, 3> marked{};
    for (size_t k = kSecond + 1; k-- > kHour;) {
        HandState& hand = renderer.hands[k];
        if (hand.angle == hand.drawnAngle)
            continue;
        if (!taken || indicatorChanged) {
            slots[kOldBoundsSlot + k] = CoverageOf(state, k);
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
                slots[kNewBoundsSlot + k] = CoverageOf(state, k);
    }

    const QRegion repaintRegion = UnionOfSlots(slots, 0, slots.size() - 1);
    const QRegion redrawn = repaintRegion.intersected(RegionOf(renderer.workRect));
    const QRect box = redrawn.boundingRect();
    const Rect dirty{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};

    state.backBuffer.clip = BackBufferClip(renderer, slots, repaintRegion, redrawn);
    if (!PlainMode(renderer)) {
        const QRegion surfaceClip =
            ToSurfaceRegion(redrawn, renderer.workRect, SurfaceScale(renderer));
        if (SmoothMode(renderer))
            renderer.supersampleSurface.clip = surfaceClip;
        if (ShadowMode(renderer))
            renderer.shadowSurface.clip = surfaceClip;
    }
    Compose(state, dirty, &redrawn,
            PlainMode(renderer) ? std::optional(repaintRegion) : std::nullopt);
    state.backBuffer.clip.reset();
    renderer.supersampleSurface.clip.reset();
    renderer.shadowSurface.clip.reset();

    InvalidateWindowRegion(state.windowPaint, repaintRegion);
    if (next.hour == kNoPendingAngle && next.minute == kNoPendingAngle)
        return std::nullopt;
    return next;
}

// The passes, each on screen before the next.
void DrawPasses(AppState& state, const CalendarTime& shown, std::optional<PendingAngles> pending) {
    while (std::optional<PendingAngles> next = DrawPartialPass(state, shown, pending)) {
        PaintInvalidNow(state.windowPaint);
        pending = next;
    }
}

} // namespace

void DrawPartialFrame(AppState& state, std::optional<PendingAngles> pending) {
    // Pending angles need no time; without them the first pass shows the device's.
    DrawPasses(state, pending ? CalendarTime{} : DeviceLocalTimeOrZero(), pending);
}

void DrawPartialFrame(AppState& state, const CalendarTime& shown) {
    DrawPasses(state, shown, std::nullopt);
}

} // namespace mv
