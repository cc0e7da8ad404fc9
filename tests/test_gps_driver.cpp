// The GPS driver against a real gpsd on loopback, fed by the NMEA feeder.

#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/gps_driver.h"
#include "test_env.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>

namespace mv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The feeder's receiver runs 2 days, 3 h 17 min ahead, so its time can't be the system's.
constexpr int64_t kFeederOffsetMilliseconds = ((2 * 24 + 3) * 3600 + 17 * 60) * 1000LL;
constexpr auto kReportTimeout = 5s;

GPS_POSITION NewPosition() {
    GPS_POSITION position{};
    position.dwVersion = kGpsPositionVersion;
    position.dwSize = sizeof position;
    return position;
}

GPS_DEVICE NewDevice() {
    GPS_DEVICE device{};
    device.dwVersion = kGpsDeviceVersion;
    device.dwSize = sizeof device;
    return device;
}

GPS_DEVICE DeviceState() {
    GPS_DEVICE device = NewDevice();
    EXPECT_EQ(GPSGetDeviceState(&device), kGpsOk);
    return device;
}

// Waits on `event` until the record read after a signal satisfies `wanted`.
template <typename Record>
bool WaitForRecord(Event& event, const std::function<bool(Record&)>& read,
                   const std::function<bool(const Record&)>& wanted, Record& record) {
    const auto deadline = Clock::now() + kReportTimeout;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (event.Wait(left) && read(record) && wanted(record))
            return true;
    }
    return false;
}

class GpsDriverTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (device_ != GpsDeviceHandle::None) {
            EXPECT_EQ(GPSCloseDevice(device_), kGpsOk);
        }
    }

    void StartGpsdAndOpen(const std::string& fix = "3d") {
        ASSERT_TRUE(env_.Start({fix, kFeederOffsetMilliseconds})) << env_.Diagnostics();
        ASSERT_TRUE(test::UseGpsdAt(env_.GpsdPort()));
        device_ = GPSOpenDevice(&location_, &state_, nullptr, 0);
        ASSERT_NE(device_, GpsDeviceHandle::None) << GpsLastError() << env_.Diagnostics();
    }

    bool WaitForDevice(uint32_t service, uint32_t deviceState) {
        GPS_DEVICE device = NewDevice();
        return WaitForRecord<GPS_DEVICE>(
            state_, [](GPS_DEVICE& d) { return GPSGetDeviceState(&d) == kGpsOk; },
            [&](const GPS_DEVICE& d) {
                return d.dwServiceState == service && d.dwDeviceState == deviceState;
            },
            device);
    }

    bool WaitForFix(uint32_t quality, uint32_t type, GPS_POSITION& position) {
        position = NewPosition();
        return WaitForRecord<GPS_POSITION>(
            location_,
            [this](GPS_POSITION& p) { return GPSGetPosition(device_, &p, 3000, 0) == kGpsOk; },
            [&](const GPS_POSITION& p) { return p.FixQuality == quality && p.FixType == type; },
            position);
    }

    test::IsolatedHome home_;
    test::GpsTestEnv env_;
    Event location_;
    Event state_;
    GpsDeviceHandle device_ = GpsDeviceHandle::None;
};

TEST_F(GpsDriverTest, OpenFailsWithALastErrorWhenGpsdIsNotThere) {
    ASSERT_TRUE(test::UseGpsdAt(test::FreeLoopbackPort()));
    EXPECT_EQ(GPSOpenDevice(&location_, &state_, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorNotFound);

    const GPS_DEVICE device = DeviceState();
    EXPECT_EQ(device.dwServiceState, 0u);
    EXPECT_EQ(device.dwDeviceState, 0u);
    GPS_POSITION position = NewPosition();
    EXPECT_EQ(GPSGetPosition(GpsDeviceHandle::None, &position, 3000, 0), kGpsErrorInvalidHandle);
    EXPECT_EQ(GPSCloseDevice(GpsDeviceHandle{1}), kGpsErrorInvalidHandle);
    EXPECT_EQ(GpsLastError(), kGpsErrorInvalidHandle);
}

TEST_F(GpsDriverTest, ReportsGpsdItsDeviceAndTheReceiversTime) {
    StartGpsdAndOpen();
    EXPECT_TRUE(WaitForDevice(kGpsStateOn, kGpsStateOn)) << env_.Diagnostics();

    GPS_POSITION position;
    ASSERT_TRUE(WaitForFix(kGpsFixQualityGps, kGpsFixType3D, position)) << env_.Diagnostics();
    int64_t now = 0;
    int64_t fixTime = 0;
    ASSERT_TRUE(ReadUtcCount(now));
    ASSERT_TRUE(CalendarToCount(position.stUTCTime, fixTime));
    const int64_t lag = now + kFeederOffsetMilliseconds * kUnitsPerMillisecond - fixTime;
    EXPECT_GE(lag, 0);
    EXPECT_LT(lag, 3 * kUnitsPerSecond); // the feeder stamps whole seconds
    EXPECT_EQ(position.stUTCTime.milliseconds, 0);
    EXPECT_NE(position.dwValidFields & kGpsValidUtcTime, 0u);
    EXPECT_NEAR(position.latitude, 48.1173, 1e-6);

    // One open device per process.
    EXPECT_EQ(GPSOpenDevice(nullptr, nullptr, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorBusy);
    // Records of another layout are refused; a position past its age keeps no fix.
    GPS_POSITION wrong = NewPosition();
    wrong.dwSize = sizeof(GPS_POSITION) - 4;
    EXPECT_EQ(GPSGetPosition(device_, &wrong, 3000, 0), kGpsErrorInvalidParameter);
    GPS_DEVICE wrongDevice = NewDevice();
    wrongDevice.dwVersion = 2;
    EXPECT_EQ(GPSGetDeviceState(&wrongDevice), kGpsErrorInvalidParameter);
    std::this_thread::sleep_for(20ms);
    GPS_POSITION stale = NewPosition();
    ASSERT_EQ(GPSGetPosition(device_, &stale, 5, 0), kGpsOk);
    EXPECT_EQ(stale.FixQuality, kGpsFixQualityUnknown);
    EXPECT_EQ(stale.FixType, kGpsFixTypeUnknown);
    EXPECT_EQ(stale.dwValidFields, 0u);
}

TEST_F(GpsDriverTest, FollowsTheReceiversFix) {
    StartGpsdAndOpen("2d");
    struct Step {
        const char* command;
        uint32_t quality;
        uint32_t type;
    };
    const Step steps[] = {
        {"fix 2d", kGpsFixQualityGps, kGpsFixType2D},
        {"fix dgps", kGpsFixQualityDifferential, kGpsFixType3D},
        {"fix none", kGpsFixQualityUnknown, kGpsFixTypeUnknown},
        {"fix 3d", kGpsFixQualityGps, kGpsFixType3D},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        ASSERT_TRUE(env_.Feed(step.command));
        GPS_POSITION position;
        EXPECT_TRUE(WaitForFix(step.quality, step.type, position)) << env_.Diagnostics();
        // Without a fix the receiver still tells the time.
        EXPECT_NE(position.dwValidFields & kGpsValidUtcTime, 0u);
    }
}

TEST_F(GpsDriverTest, ReportsALostGpsdAndReconnects) {
    StartGpsdAndOpen();
    ASSERT_TRUE(WaitForDevice(kGpsStateOn, kGpsStateOn)) << env_.Diagnostics();

    env_.StopGpsd();
    EXPECT_TRUE(WaitForDevice(0, 0));
    ASSERT_TRUE(env_.StartGpsd()) << env_.Diagnostics();
    EXPECT_TRUE(WaitForDevice(kGpsStateOn, kGpsStateOn)) << env_.Diagnostics();
    GPS_POSITION position;
    EXPECT_TRUE(WaitForFix(kGpsFixQualityGps, kGpsFixType3D, position)) << env_.Diagnostics();
}

TEST_F(GpsDriverTest, CloseEndsTheDriverThreadAndSilencesTheEvents) {
    const size_t threadsBefore = test::ThreadCount();
    StartGpsdAndOpen();
    GPS_POSITION position;
    ASSERT_TRUE(WaitForFix(kGpsFixQualityGps, kGpsFixType3D, position)) << env_.Diagnostics();
    EXPECT_EQ(test::ThreadCount(), threadsBefore + 1);

    const GpsDeviceHandle closed = std::exchange(device_, GpsDeviceHandle::None);
    ASSERT_EQ(GPSCloseDevice(closed), kGpsOk);
    EXPECT_EQ(test::ThreadCount(), threadsBefore);
    location_.Wait(0ms);
    state_.Wait(0ms);
    EXPECT_FALSE(location_.Wait(1500ms)); // the feeder goes on, the driver doesn't
    EXPECT_EQ(DeviceState().dwServiceState, 0u);
    EXPECT_EQ(GPSGetPosition(closed, &position, 3000, 0), kGpsErrorInvalidHandle);

    // Opened again, the device has a new handle and the old one stays dead.
    device_ = GPSOpenDevice(&location_, &state_, nullptr, 0);
    ASSERT_NE(device_, GpsDeviceHandle::None);
    EXPECT_NE(device_, closed);
    EXPECT_EQ(GPSCloseDevice(closed), kGpsErrorInvalidHandle);
    EXPECT_TRUE(WaitForFix(kGpsFixQualityGps, kGpsFixType3D, position));
}

} // namespace
} // namespace mv
