// Which time the face shows: GPS time in local time exactly while every usability condition
// holds, otherwise the device's local time.
#include "gps/gps_time.h"
#include "platform/device_clock.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace mv {
namespace {

class PollGpsTimeTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        // Device clock: 2026-07-01 10:00:00 UTC (12:00 local, summer time).
        CalendarTime device{2026, 7, 0, 1, 10, 0, 0, 0};
        int64_t count = 0;
        ASSERT_TRUE(CalendarToCount(device, count));
        UseManualClock(count, 0);
        // A receiver reporting 2026-07-01 09:30:15.250 UTC.
        app_.gpsConnected = true;
        app_.gpsDevice.dwServiceState = kGpsStateOn;
        app_.gpsDevice.dwDeviceState = kGpsStateOn;
        app_.gpsPosition.FixQuality = kGpsFixQualityGps;
        app_.gpsPosition.FixType = kGpsFixType3D;
        app_.gpsPosition.stUTCTime = {2026, 7, 0, 1, 9, 30, 15, 250};
    }
    void TearDown() override {
        UseSystemClock();
        unsetenv("TZ");
        tzset();
    }

    AppState app_;
};

TEST_F(PollGpsTimeTest, UsableGpsTimeIsShownInLocalTime) {
    CalendarTime shown;
    PollGpsTime(app_, shown);
    EXPECT_TRUE(app_.gpsTimeValid);
    EXPECT_EQ(shown.hour, 11);
    EXPECT_EQ(shown.minute, 30);
    EXPECT_EQ(shown.second, 15);
    EXPECT_EQ(shown.milliseconds, 250);
}

TEST_F(PollGpsTimeTest, AnyFailedConditionFallsBackToTheDeviceTime) {
    const auto conditions = {
        +[](AppState& a) { a.gpsConnected = false; },
        +[](AppState& a) { a.gpsDevice.dwServiceState = 0; },
        +[](AppState& a) { a.gpsDevice.dwDeviceState = 2; },
        +[](AppState& a) { a.gpsPosition.FixQuality = kGpsFixQualityUnknown; },
        +[](AppState& a) { a.gpsPosition.FixType = kGpsFixTypeUnknown; },
    };
    for (auto breakCondition : conditions) {
        SetUp();
        breakCondition(app_);
        CalendarTime shown;
        PollGpsTime(app_, shown);
        EXPECT_FALSE(app_.gpsTimeValid);
        EXPECT_EQ(shown.hour, 12);
        EXPECT_EQ(shown.minute, 0);
    }
}

TEST_F(PollGpsTimeTest, UnconvertibleFixTimeIsValidButShowsMidnight) {
    app_.gpsPosition.stUTCTime = {2026, 13, 0, 1, 9, 30, 15, 0};
    CalendarTime shown{1, 1, 1, 1, 1, 1, 1, 1};
    PollGpsTime(app_, shown);
    EXPECT_TRUE(app_.gpsTimeValid);
    EXPECT_EQ(shown, CalendarTime{});
}

} // namespace
} // namespace mv
