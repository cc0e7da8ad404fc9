// The GPS driver against a real gpsd on loopback, fed by the NMEA feeder.

#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/gps_driver.h"
#include "test_env.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

using namespace std::chrono_literals;

// The feeder's receiver runs 2 days, 3 h 17 min ahead, so its time can't be the system's.
constexpr int64_t kFeederOffsetMilliseconds = ((2 * 24 + 3) * 3600 + 17 * 60) * 1000LL;

GPS_POSITION NewPosition() {
    GPS_POSITION position{};
    position.dwVersion = kGpsPositionVersion;
    position.dwSize = sizeof position;
    return position;
}

GPS_DEVICE DeviceState(uint32_t version = kGpsDeviceVersion, uint32_t expected = kGpsOk) {
    GPS_DEVICE device{};
    device.dwVersion = version;
    device.dwSize = sizeof device;
    EXPECT_EQ(GPSGetDeviceState(&device), expected);
    return device;
}

TEST(GpsDriver, FailsWithoutGpsdThenReportsItsDeviceTimeAndFix) {
    test::IsolatedHome home;
    static Event location, state; // outlive a device that a failed check leaves open
    ASSERT_TRUE(test::UseGpsdAt(test::FreeLoopbackPort()));
    EXPECT_EQ(GPSOpenDevice(&location, &state, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorNotFound);
    EXPECT_EQ(DeviceState().dwServiceState, 0u);
    EXPECT_EQ(DeviceState().dwDeviceState, 0u);
    GPS_POSITION position = NewPosition();
    EXPECT_EQ(GPSGetPosition(GpsDeviceHandle::None, &position, 3000, 0), kGpsErrorInvalidHandle);
    EXPECT_EQ(GPSCloseDevice(GpsDeviceHandle{1}), kGpsErrorInvalidHandle);
    EXPECT_EQ(GpsLastError(), kGpsErrorInvalidHandle);

    test::GpsTestEnv env;
    ASSERT_TRUE(env.Start("3d", kFeederOffsetMilliseconds)) << env.Diagnostics();
    ASSERT_TRUE(test::UseGpsdAt(env.GpsdPort()));
    const GpsDeviceHandle device = GPSOpenDevice(&location, &state, nullptr, 0);
    ASSERT_NE(device, GpsDeviceHandle::None) << GpsLastError() << env.Diagnostics();
    // Waits on the location event until a position of this quality and type arrives.
    const auto waitForFix = [&](uint32_t quality, uint32_t type) {
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             std::chrono::steady_clock::now() < end;) {
            position = NewPosition();
            if (location.Wait(100ms) && GPSGetPosition(device, &position, 3000, 0) == kGpsOk &&
                position.FixQuality == quality && position.FixType == type)
                return true;
        }
        return false;
    };

    ASSERT_TRUE(waitForFix(kGpsFixQualityGps, kGpsFixType3D)) << env.Diagnostics();
    int64_t now = 0;
    int64_t fixTime = 0;
    ASSERT_TRUE(ReadUtcCount(now));
    ASSERT_TRUE(CalendarToCount(position.stUTCTime, fixTime));
    const int64_t lag = now + kFeederOffsetMilliseconds * kUnitsPerMillisecond - fixTime;
    EXPECT_GE(lag, 0);
    EXPECT_LT(lag, 3 * kUnitsPerSecond); // the feeder stamps whole seconds
    EXPECT_EQ(position.stUTCTime.milliseconds, 0);
    EXPECT_NEAR(position.latitude, 48.1173, 1e-6);
    EXPECT_EQ(DeviceState().dwServiceState, kGpsStateOn);
    EXPECT_EQ(DeviceState().dwDeviceState, kGpsStateOn);

    // One open device per process.
    EXPECT_EQ(GPSOpenDevice(nullptr, nullptr, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorBusy);
    // Records of another layout are refused; a position past its age keeps no fix.
    GPS_POSITION wrong = NewPosition();
    wrong.dwSize = sizeof(GPS_POSITION) - 4;
    EXPECT_EQ(GPSGetPosition(device, &wrong, 3000, 0), kGpsErrorInvalidParameter);
    DeviceState(2, kGpsErrorInvalidParameter);
    std::this_thread::sleep_for(20ms);
    GPS_POSITION stale = NewPosition();
    ASSERT_EQ(GPSGetPosition(device, &stale, 5, 0), kGpsOk);
    EXPECT_EQ(stale.FixQuality, kGpsFixQualityUnknown);
    EXPECT_EQ(stale.FixType, kGpsFixTypeUnknown);
    EXPECT_EQ(stale.dwValidFields, 0u);

    const struct {
        const char* command;
        uint32_t quality;
        uint32_t type;
    } steps[] = {
        {"fix 2d", kGpsFixQualityGps, kGpsFixType2D},
        {"fix dgps", kGpsFixQualityDifferential, kGpsFixType3D},
        {"fix none", kGpsFixQualityUnknown, kGpsFixTypeUnknown},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        ASSERT_TRUE(env.Feed(step.command));
        EXPECT_TRUE(waitForFix(step.quality, step.type)) << env.Diagnostics();
        // Without a fix the receiver still tells the time.
        EXPECT_NE(position.dwValidFields & kGpsValidUtcTime, 0u);
    }
    EXPECT_EQ(GPSCloseDevice(device), kGpsOk);
}

} // namespace
} // namespace mv
