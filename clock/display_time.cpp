// The time the face shows: the time it is told, with smooth motion the milliseconds since the
// face first showed that second.
#include "clock/face_renderer.h"
#include "clock/hand_angles.h"
#include "platform/device_clock.h"
#include "platform/utc_time.h"

namespace mv {

void FaceRenderer::ComputeDisplayTime(const CalendarTime& shown) {
    CalendarTime displayTime = shown;
    std::optional<CalendarMoment> moment;
    if (hands_.smoothMotion != 0 && (moment = MomentFromCalendar(displayTime))) {
        const uint32_t now = ReadTickCount();
        if (displayTime.second != lastSecond_) {
            secondStartTick_ = now;
            lastSecond_ = displayTime.second;
            secondStartMilliseconds_ = displayTime.milliseconds;
        }
        // The glide is measured from the milliseconds the time had when this second was first
        // shown. A clock that carries its own milliseconds (the system clock does) would
        // otherwise count them twice and run the second hand up to twice as fast.
        *moment -=
            std::chrono::milliseconds(int(displayTime.milliseconds) - secondStartMilliseconds_);
        const uint32_t elapsed = now - secondStartTick_;
        // 32-bit on purpose: the glide, in clock ticks, wraps after 429 496 ms without a new
        // second.
        constexpr auto kTicksPerMillisecond =
            uint32_t(ClockTicks(std::chrono::milliseconds(1)).count());
        *moment += ClockTicks(elapsed * kTicksPerMillisecond);
        // A moment past the scale keeps the unadjusted time.
        displayTime = CalendarFromMoment(*moment).value_or(displayTime);
    }

    const HandAngles angles = ComputeHandAngles(displayTime, hands_.smoothMotion != 0,
                                                hands_.supersampleSurface.pixels != nullptr);
    hands_.hands[0].angle = angles.hour;
    hands_.hands[1].angle = angles.minute;
    hands_.hands[2].angle = angles.second;
}

void FaceRenderer::ForgetSecondStart() {
    secondStartTick_ = 0;
    lastSecond_ = 0xFFFF;
}

} // namespace mv
