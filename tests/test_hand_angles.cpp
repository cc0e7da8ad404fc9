#include "clock/hand_angles.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

CalendarTime At(uint16_t hour, uint16_t minute, uint16_t second, uint16_t milliseconds = 0) {
    CalendarTime time;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.milliseconds = milliseconds;
    return time;
}

TEST(HandAngles, StepsFollowSmoothMotionAndHalfDegreeFlags) {
    struct Case {
        CalendarTime time;
        bool smooth, halfDegree;
        double hour, minute, second; // degrees
    };
    const Case cases[] = {
        {At(13, 30, 15, 500), true, true, 45.0, 181.5, 93.0},
        {At(13, 30, 15, 500), false, false, 45.0, 181.0, 90.0},
        {At(13, 30, 15, 500), true, false, 45.0, 181.0, 93.0},
        {At(13, 30, 15, 500), false, true, 45.0, 181.5, 90.0},
        {At(12, 59, 59), false, true, 29.5, 359.5, 354.0},
        {At(12, 59, 59), false, false, 29.0, 359.0, 354.0},
        {At(23, 59, 59, 999), true, true, 359.5, 359.5, 359.994},
        {At(0, 0, 0), true, true, 0.0, 0.0, 0.0},
    };
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.time.hour << ":" << c.time.minute << ":" << c.time.second << "."
                     << c.time.milliseconds << " smooth " << c.smooth << " half " << c.halfDegree);
        const HandAngles angles = ComputeHandAngles(c.time, c.smooth, c.halfDegree);
        EXPECT_NEAR(angles.hour, c.hour * kRadiansPerDegree, 1e-12);
        EXPECT_NEAR(angles.minute, c.minute * kRadiansPerDegree, 1e-12);
        EXPECT_NEAR(angles.second, c.second * kRadiansPerDegree, 1e-12);
    }
}

} // namespace
} // namespace mv
