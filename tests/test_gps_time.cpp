// Which time the face shows: GPS time in local time exactly while every usability condition
// holds (a fix, with its time, not older than the maximum age), otherwise the device's local time;
// and the plain fix the driver makes of a position record.
#include "gps/gps_session.h"
#include "platform/device_clock.h"
#include "platform/gps_driver.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

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
    EXPECT_EQ(now.local.hour, 11);
    EXPECT_EQ(now.local.minute, 30);
    EXPECT_EQ(now.local.second, 15);
    EXPECT_EQ(now.local.milliseconds, 250);
}

TEST_F(GpsTimeTest, AnyFailedConditionFallsBackToTheDeviceTime) {
    struct Case {
        const char* what;
        void (*breakIt)(bool& connected, GpsReceiverState&, GPS_POSITION&, uint32_t& age);
    };
    const Case cases[] = {
        {"disconnected", [](bool& c, GpsReceiverState&, GPS_POSITION&, uint32_t&) { c = false; }},
        {"gpsd not reached",
         [](bool&, GpsReceiverState& r, GPS_POSITION&, uint32_t&) { r.serviceOn = false; }},
        {"no active device",
         [](bool&, GpsReceiverState& r, GPS_POSITION&, uint32_t&) { r.deviceOn = false; }},
        {"no fix quality", [](bool&, GpsReceiverState&, GPS_POSITION& p,
                              uint32_t&) { p.FixQuality = kGpsFixQualityUnknown; }},
        {"no fix type", [](bool&, GpsReceiverState&, GPS_POSITION& p,
                           uint32_t&) { p.FixType = kGpsFixTypeUnknown; }},
        // A fix without its time, or with one that names no moment, is not shown as midnight.
        {"no time field", [](bool&, GpsReceiverState&, GPS_POSITION& p,
                             uint32_t&) { p.dwValidFields = kGpsValidLatitude; }},
        {"month 13",
         [](bool&, GpsReceiverState&, GPS_POSITION& p, uint32_t&) { p.stUTCTime.month = 13; }},
        // A receiver that fell silent: its last position has grown too old.
        {"too old", [](bool&, GpsReceiverState&, GPS_POSITION&,
                       uint32_t& a) { a = kMaximumPositionAgeMs + 1; }},
    };
    for (const Case& c : cases) {
        bool connected = true;
        GpsReceiverState receiver{true, true};
        GPS_POSITION position = PositionWithFix();
        uint32_t age = 0;
        c.breakIt(connected, receiver, position, age);
        const GpsTimeNow now =
            EvaluateGpsTime(connected, {receiver, FixFromPosition(position), 0xFFFF'FFF0u},
                            0xFFFF'FFF0u + age); // the tick wraps in between
        EXPECT_FALSE(now.usable) << c.what;
        EXPECT_EQ(now.local.hour, 12) << c.what;
        EXPECT_EQ(now.local.minute, 0) << c.what;
    }
}

TEST(FixFromPosition, TellsTheKindOfFixAndItsTime) {
    GPS_POSITION position = PositionWithFix();
    EXPECT_EQ(FixFromPosition(position),
              (GpsFix{GpsFixKind::ThreeD, false, UtcTimeFromCalendar(kFixUtc)}));
    position.FixType = kGpsFixType2D;
    position.FixQuality = kGpsFixQualityDifferential;
    position.dwValidFields = kGpsValidLatitude | kGpsValidLongitude;
    EXPECT_EQ(FixFromPosition(position), (GpsFix{GpsFixKind::TwoD, true, std::nullopt}));
}

} // namespace
} // namespace mv
