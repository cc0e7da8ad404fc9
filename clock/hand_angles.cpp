#include "clock/hand_angles.h"

#include <cstdint>

namespace mv {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// The minute and hour hands move in steps: a half degree per step, or a whole degree per two.
double SteppedDegrees(int32_t steps, bool halfDegree) {
    return halfDegree ? double(steps) * 0.5 : double(steps / 2);
}

} // namespace

HandAngles ComputeHandAngles(const CalendarTime& time, bool smoothMotion, bool halfDegree) {
    const int32_t hour = time.hour;
    const int32_t minute = time.minute;
    const int32_t second = time.second;
    const int32_t milliseconds = time.milliseconds;

    double secondDegrees = double(6 * second);
    if (smoothMotion)
        secondDegrees += double(6 * milliseconds) * 0.001;

    const int32_t secondsIntoHour = second + 60 * minute;
    const double minuteDegrees = SteppedDegrees(secondsIntoHour / 5, halfDegree);

    const int32_t secondsSinceTwelve = (hour % 12) * 3600 + secondsIntoHour;
    const double hourDegrees = SteppedDegrees(secondsSinceTwelve / 60, halfDegree);

    return {hourDegrees * kRadiansPerDegree, minuteDegrees * kRadiansPerDegree,
            secondDegrees * kRadiansPerDegree};
}

} // namespace mv
