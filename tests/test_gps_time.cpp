// Which time the face shows: GPS time in local time exactly while every usability condition
// holds (a fix, with its time, not older than the maximum age), otherwise the device's local time.
#include "gps/gps_session.h"
#include "platform/device_clock.h"
#include "platform/gps_driver.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <utility>

namespace mv {
namespace {

constexpr CalendarTime kFixUtc{2026, 7, 0, 1, 9, 30, 15, 250}; // 11:30:15.250 in Berlin

GPS_POSITION PositionWithFix() {
    GPS_POSITION position{};
    position.FixQuality = kGpsFixQualityGps;
    position.FixType = kGpsFixType3D;
    position.stUTCTime = kFixUtc;
    position.dwValidFields = kGpsValidUtcTime;
    return position;
}

class GpsTimeTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        // Device clock: 2026-07-01 10:00:00 UTC (12:00 local, summer time).
        int64_t count = 0;
        ASSERT_TRUE(CalendarToCount({2026, 7, 0, 1, 10, 0, 0, 0}, count));
        UseManualClock(count, 0);
    }
    void TearDown() override {
        UseSystemClock();
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(GpsTimeTest, UsableGpsTimeIsShownInLocalTimeUntilItsMaximumAge) {
    const GpsRecords records{{true, true}, FixFromPosition(PositionWithFix()), 7};
    const GpsTimeNow now = EvaluateGpsTime(true, records, 7 + kMaximumPositionAgeMs);
    ASSERT_TRUE(now.usable);
    EXPECT_EQ(now.utc, UtcTimeFromCalendar(kFixUtc));
    EXPECT_EQ(now.local, (CalendarTime{2026, 7, 3, 1, 11, 30, 15, 250}));
}

TEST_F(GpsTimeTest, AnyFailedConditionFallsBackToTheDeviceTime) {
    struct Inputs {
        bool connected = true;
        GpsReceiverState receiver{true, true};
        GPS_POSITION position = PositionWithFix();
        uint32_t age = 0;
    };
    const std::pair<const char*, void (*)(Inputs&)> cases[] = {
        {"disconnected", [](Inputs& in) { in.connected = false; }},
        {"gpsd not reached", [](Inputs& in) { in.receiver.serviceOn = false; }},
        {"no active device", [](Inputs& in) { in.receiver.deviceOn = false; }},
        {"no fix quality", [](Inputs& in) { in.position.FixQuality = kGpsFixQualityUnknown; }},
        {"no fix type", [](Inputs& in) { in.position.FixType = kGpsFixTypeUnknown; }},
        // A fix without its time, or with one that names no moment, is not shown as midnight.
        {"no time field", [](Inputs& in) { in.position.dwValidFields = kGpsValidLatitude; }},
        {"month 13", [](Inputs& in) { in.position.stUTCTime.month = 13; }},
        // A receiver that fell silent: its last position has grown too old.
        {"too old", [](Inputs& in) { in.age = kMaximumPositionAgeMs + 1; }},
    };
    for (const auto& [what, breakIt] : cases) {
        Inputs in;
        breakIt(in);
        const auto& [connected, receiver, position, age] = in;
        const GpsTimeNow now =
            EvaluateGpsTime(connected, {receiver, FixFromPosition(position), 0xFFFF'FFF0u},
                            0xFFFF'FFF0u + age); // the tick wraps in between
        EXPECT_FALSE(now.usable) << what;
        EXPECT_EQ(now.local.hour, 12) << what;
        EXPECT_EQ(now.local.minute, 0) << what;
    }
}

} // namespace
} // namespace mv
