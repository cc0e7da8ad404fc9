// The GPS reader and the Connect / Disconnect commands against a real gpsd on loopback.

#include "gps/gps_connect.h"
#include "gps/gps_time.h"
#include "gps_app_host.h"
#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/event.h"
#include "platform/gps_driver.h"
#include "test_env.h"

#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

using namespace std::chrono_literals;

constexpr char kNoDeviceText[] =
    "Could not find GPS device.\n\nPlease verify your system GPS settings.";

class GpsReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The first thread of a process may bring helpers of the runtime's own (a sanitizer's).
        std::thread([] {}).join();
        threadsBefore_ = test::ThreadCount();
    }
    void TearDown() override { SetGpsConnected(app_, nullptr, false); }

    void StartGpsd(const std::string& fix = "3d") {
        ASSERT_TRUE(env_.Start({fix, 0})) << env_.Diagnostics();
        ASSERT_TRUE(test::UseGpsdAt(env_.GpsdPort()));
    }
    bool WaitForValidity(bool valid) {
        return host_.RunUntil([&] { return app_.gpsTimeValid == valid; }, 5s);
    }
    bool ThreadsBackToBefore() {
        return host_.RunUntil([&] { return test::ThreadCount() == threadsBefore_; }, 2s);
    }

    test::IsolatedHome home_;
    test::GpsTestEnv env_;
    AppState app_;
    test::GpsAppHost host_{app_};
    size_t threadsBefore_ = 0;
};

TEST_F(GpsReaderTest, NoGpsdShowsTheMessageAndLeavesNothingRunning) {
    ASSERT_TRUE(test::UseGpsdAt(test::FreeLoopbackPort()));
    SetGpsConnected(app_, &host_.window, true);

    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kNoDeviceText);
    EXPECT_EQ(host_.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(host_.boxes[0].owner, &host_.window);
    EXPECT_FALSE(app_.gpsConnected);
    EXPECT_EQ(app_.gpsReader, nullptr);
    EXPECT_EQ(app_.gpsListener, nullptr);
    EXPECT_FALSE(app_.connectBar->isHidden());
    EXPECT_TRUE(app_.disconnectBar->isHidden());
    EXPECT_TRUE(ThreadsBackToBefore());

    // Disconnect while disconnected does nothing.
    SetGpsConnected(app_, &host_.window, false);
    host_.RunFor(100ms);
    EXPECT_EQ(host_.Count(MSG_REFRESH), 0);
}

TEST_F(GpsReaderTest, RecordsArriveAndUsabilityFollowsTheFix) {
    StartGpsd("2d");
    SetGpsConnected(app_, &host_.window, true);
    ASSERT_TRUE(app_.gpsConnected);
    EXPECT_TRUE(host_.boxes.empty());
    EXPECT_TRUE(app_.connectBar->isHidden());
    EXPECT_FALSE(app_.disconnectBar->isHidden());
    const GpsReader* reader = app_.gpsReader.get();
    SetGpsConnected(app_, &host_.window, true); // a second Connect does nothing
    EXPECT_EQ(app_.gpsReader.get(), reader);

    ASSERT_TRUE(WaitForValidity(true)) << env_.Diagnostics();
    EXPECT_TRUE(host_.SynchronizeEnabled());
    {
        const std::lock_guard lock(app_.gpsLock);
        EXPECT_EQ(app_.gpsDevice.dwServiceState, kGpsStateOn);
        EXPECT_EQ(app_.gpsDevice.dwDeviceState, kGpsStateOn);
        EXPECT_EQ(app_.gpsPosition.FixType, kGpsFixType2D);
        int64_t fixTime = 0;
        int64_t now = 0;
        ASSERT_TRUE(CalendarToCount(app_.gpsPosition.stUTCTime, fixTime));
        ASSERT_TRUE(ReadUtcCount(now));
        EXPECT_LT(std::abs(now - fixTime), 3 * kUnitsPerSecond);
    }

    ASSERT_TRUE(env_.Feed("fix none"));
    EXPECT_TRUE(WaitForValidity(false));
    EXPECT_FALSE(host_.SynchronizeEnabled());
    ASSERT_TRUE(env_.Feed("fix dgps"));
    EXPECT_TRUE(WaitForValidity(true));
    {
        const std::lock_guard lock(app_.gpsLock);
        EXPECT_EQ(app_.gpsPosition.FixQuality, kGpsFixQualityDifferential);
    }

    const int notifications = host_.Count(MSG_GPS_DATA);
    SetGpsConnected(app_, &host_.window, false);
    EXPECT_EQ(app_.gpsReader, nullptr);
    EXPECT_FALSE(app_.connectBar->isHidden());
    EXPECT_TRUE(app_.disconnectBar->isHidden());
    // The refresh that follows finds the reader gone; nothing arrives any more.
    EXPECT_TRUE(host_.RunUntil([&] { return host_.Count(MSG_REFRESH) == 1; }, 1s));
    EXPECT_FALSE(app_.gpsTimeValid);
    EXPECT_TRUE(ThreadsBackToBefore());
    host_.RunFor(1500ms);
    EXPECT_EQ(host_.Count(MSG_GPS_DATA), notifications);
}

TEST_F(GpsReaderTest, SurvivesGpsdGoingAwayAndComingBack) {
    StartGpsd();
    SetGpsConnected(app_, &host_.window, true);
    ASSERT_TRUE(WaitForValidity(true)) << env_.Diagnostics();

    env_.StopGpsd();
    EXPECT_TRUE(WaitForValidity(false));
    ASSERT_TRUE(env_.StartGpsd()) << env_.Diagnostics();
    EXPECT_TRUE(WaitForValidity(true)) << env_.Diagnostics();
    EXPECT_TRUE(app_.gpsConnected);
}

TEST_F(GpsReaderTest, ASilentReceiverGivesWayToTheDeviceClock) {
    StartGpsd();
    SetGpsConnected(app_, &host_.window, true);
    ASSERT_TRUE(WaitForValidity(true)) << env_.Diagnostics();
    ASSERT_TRUE(env_.Feed("stop"));
    QElapsedTimer silence;
    silence.start();
    // gpsd keeps the device open and sends nothing; the clock tick's frames notice.
    EXPECT_TRUE(host_.RunUntil(
        [&] {
            CalendarTime shown;
            PollGpsTime(app_, shown);
            return !app_.gpsTimeValid;
        },
        5s));
    EXPECT_GE(silence.elapsed(), int64_t(kMaximumPositionAgeMs) - 1000); // a report was due
}

// Blocks the worker in its first position notification until released.
class StuckListener : public GpsListener {
public:
    uint32_t OnPosition(const GPS_POSITION&) override {
        if (!entered_.exchange(true)) {
            inside.Signal();
            release.Wait();
        }
        return 0;
    }
    uint32_t OnDeviceState(const GPS_DEVICE&) override { return 0; }

    Event inside;
    Event release;

private:
    std::atomic<bool> entered_ = false;
};

TEST_F(GpsReaderTest, StatusCodesAndAWorkerThatDoesNotStopInTime) {
    GpsReader reader;
    StuckListener listener;
    EXPECT_EQ(reader.Open(nullptr), kReaderInvalidArgument);
    EXPECT_EQ(reader.Close(), kReaderInvalidArgument);
    ASSERT_TRUE(test::UseGpsdAt(test::FreeLoopbackPort()));
    EXPECT_EQ(reader.Open(&listener), int32_t(0x80070000u | kGpsErrorNotFound));
    EXPECT_TRUE(ThreadsBackToBefore());

    StartGpsd();
    ASSERT_EQ(reader.Open(&listener), kReaderOk);
    EXPECT_EQ(reader.Open(&listener), int32_t(0x80070000u | kGpsErrorBusy));
    ASSERT_TRUE(listener.inside.Wait(5s)) << env_.Diagnostics();

    // The stuck worker still holds the device and its events once Close has given up.
    EXPECT_EQ(reader.Close(), kReaderWorkerStillRunning);
    EXPECT_EQ(GPSOpenDevice(nullptr, nullptr, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorBusy);

    // Released, it ends and closes the device after it.
    listener.release.Signal();
    GpsDeviceHandle device = GpsDeviceHandle::None;
    EXPECT_TRUE(host_.RunUntil(
        [&] {
            return (device = GPSOpenDevice(nullptr, nullptr, nullptr, 0)) != GpsDeviceHandle::None;
        },
        2s));
    EXPECT_EQ(GPSCloseDevice(device), kGpsOk);
    EXPECT_TRUE(ThreadsBackToBefore());
}

} // namespace
} // namespace mv
