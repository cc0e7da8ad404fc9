// Which time the face shows: GPS time in local time exactly while every usability condition
// holds (a fix, with its time, not older than the maximum age), otherwise the device's local time.
#include "gps/gps_reader.h"
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
        app_.gpsPosition.dwValidFields = kGpsValidUtcTime;
        app_.gpsPositionTick = 0; // arrived just now
    }
    void TearDown() override {
        UseSystemClock();
        unsetenv("TZ");
        tzset();
    }

    AppState app_;
};

TEST_F(PollGpsTimeTest, UsableGpsTimeIsShownInLocalTime) {
    AdvanceManualClock(kMaximumPositionAgeMs); // still current at the maximum age
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
        // A fix without its time, or with one that names no moment, is not shown as midnight.
        +[](AppState& a) { a.gpsPosition.dwValidFields = kGpsValidLatitude; },
        +[](AppState& a) { a.gpsPosition.stUTCTime.month = 13; },
        // A receiver that fell silent: its last position has grown too old.
        +[](AppState&) { AdvanceManualClock(kMaximumPositionAgeMs + 1); },
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

} // namespace
} // namespace mv
