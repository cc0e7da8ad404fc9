// The clock synchronisation against a real gpsd on loopback, with the simulated device clock (the
// machine's clock is never touched).

#include "gps/gps_connect.h"
#include "gps/gps_time.h"
#include "gps/sync.h"
#include "gps_app_host.h"
#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/window_timers.h"
#include "test_env.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace mv {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kAheadUnits = 57 * kUnitsPerSecond / 10; // 5.7 s
constexpr char kConnectivityFailure[] =
    "Time synchronization failed.\n\nFix your GPS connectivity and try again.";
constexpr char kNotChangedFailure[] =
    "Time synchronization failed.\n\nThe system clock could not be changed.";

class SyncTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetGpsConnected(app_, nullptr, false);
        UseSystemClock();
    }

    // gpsd with the feeder, the simulated clock `ahead` of the system clock, connected and
    // showing GPS time.
    void ConnectWithClockAhead(int64_t ahead) {
        UseSimulatedClock(ahead);
        ASSERT_TRUE(env_.Start()) << env_.Diagnostics();
        ASSERT_TRUE(test::UseGpsdAt(env_.GpsdPort()));
        SetGpsConnected(app_, &host_.window, true);
        ASSERT_TRUE(app_.gpsConnected);
        ASSERT_TRUE(host_.RunUntil([&] { return app_.gpsTimeValid; }, 5s)) << env_.Diagnostics();
    }
    bool SyncEnded(std::chrono::milliseconds timeout) {
        return host_.RunUntil(
            [&] { return host_.Count(MSG_SYNC_DONE) + host_.Count(MSG_SYNC_FAILED) > 0; }, timeout);
    }
    void ExpectIdle() {
        EXPECT_EQ(app_.samplesLeft, 0);
        EXPECT_FALSE(WindowTimerRunning(app_.windowTimers, TIMER_SYNC));
        EXPECT_TRUE(host_.syncLabel->isHidden());
    }

    test::IsolatedHome home_;
    test::GpsTestEnv env_;
    AppState app_;
    test::GpsAppHost host_{app_};
};

TEST_F(SyncTest, ClockAheadIsMovedBackByTheBestSample) {
    ConnectWithClockAhead(kAheadUnits);
    StartSync(app_);
    EXPECT_FALSE(host_.syncLabel->isHidden());
    // A second "Synchronize" after the first sample starts over; one message still follows.
    ASSERT_TRUE(host_.RunUntil([&] { return app_.samplesLeft < 5; }, 3s));
    StartSync(app_);
    EXPECT_EQ(app_.samplesLeft, 5);

    ASSERT_TRUE(SyncEnded(7s)) << env_.Diagnostics();
    host_.RunFor(200ms);
    ASSERT_EQ(host_.Count(MSG_SYNC_DONE), 1);
    EXPECT_EQ(host_.Count(MSG_SYNC_FAILED), 0);
    ExpectIdle();
    // Every offset is -5.7 s minus its delivery delay; the largest wins, -5.7x s is "-5".
    EXPECT_LT(app_.bestOffset, -kAheadUnits);
    EXPECT_GT(app_.bestOffset, -kAheadUnits - 300 * kUnitsPerMillisecond);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, "Time synchronization was successful.\n\nSystem clock has been "
                                   "shifted by -5 seconds.");
    EXPECT_EQ(host_.boxes[0].icon, MessageIcon::Information);
    // What is left is the delivery delay of the best sample.
    const int64_t residual = SimulatedClockOffset();
    EXPECT_LE(residual, 0);
    EXPECT_GT(residual, -300 * kUnitsPerMillisecond);
}

TEST_F(SyncTest, TooFewNotificationsTimeOut) {
    ConnectWithClockAhead(kAheadUnits);
    ASSERT_TRUE(env_.Feed("stop"));
    host_.RunFor(1200ms); // what was on its way has arrived
    QElapsedTimer elapsed;
    elapsed.start();
    StartSync(app_);

    ASSERT_TRUE(SyncEnded(8s));
    EXPECT_GE(elapsed.elapsed(), 5900);
    ASSERT_EQ(host_.Count(MSG_SYNC_FAILED), 1);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kConnectivityFailure);
    EXPECT_EQ(host_.boxes[0].icon, MessageIcon::Warning);
    ExpectIdle();
    EXPECT_EQ(SimulatedClockOffset(), kAheadUnits);
}

TEST_F(SyncTest, LostFixFailsAtOnceAndDisconnectEndsSilently) {
    ConnectWithClockAhead(kAheadUnits);
    QElapsedTimer elapsed;
    elapsed.start();
    StartSync(app_);
    ASSERT_TRUE(env_.Feed("fix none"));
    ASSERT_TRUE(SyncEnded(4s));
    EXPECT_LT(elapsed.elapsed(), 3000);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kConnectivityFailure);
    ExpectIdle();

    ASSERT_TRUE(env_.Feed("fix 3d"));
    ASSERT_TRUE(host_.RunUntil([&] { return app_.gpsTimeValid; }, 5s));
    StartSync(app_);
    SetGpsConnected(app_, &host_.window, false);
    ASSERT_TRUE(host_.RunUntil([&] { return !app_.gpsTimeValid; }, 1s));
    host_.RunFor(300ms);
    ExpectIdle();
    EXPECT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(SimulatedClockOffset(), kAheadUnits);
}

// Without gpsd: a fixed fix time and a manual device clock that moves on between the samples.
class SyncSamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ReadUtcCount(now_));
        now_ -= now_ % kUnitsPerSecond;
        app_.gpsConnected = true;
        app_.gpsDevice.dwServiceState = kGpsStateOn;
        app_.gpsDevice.dwDeviceState = kGpsStateOn;
        app_.gpsPosition.FixQuality = kGpsFixQualityGps;
        app_.gpsPosition.FixType = kGpsFixType3D;
    }
    void TearDown() override { UseSystemClock(); }

    // Five notifications, each followed by a frame, the device clock 100 ms further each time.
    void RunFiveSamples() {
        StartSync(app_);
        for (int sample = 0; sample < 5; ++sample) {
            CountGpsNotification(app_);
            CalendarTime shown;
            PollGpsTime(app_, shown);
            AdvanceManualClock(100);
        }
        host_.RunFor(50ms);
    }

    int64_t now_ = 0;
    AppState app_;
    test::GpsAppHost host_{app_};
};

TEST_F(SyncSamplesTest, TheLargestOffsetWinsAndTheShiftIsTruncated) {
    ASSERT_TRUE(CountToCalendar(now_, app_.gpsPosition.stUTCTime));
    UseManualClock(now_ + 59 * kUnitsPerSecond / 10, 0); // 5.9 s ahead, then 6.0, ... 6.3
    RunFiveSamples();

    EXPECT_EQ(app_.bestOffset, -59 * kUnitsPerSecond / 10);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, "Time synchronization was successful.\n\nSystem clock has been "
                                   "shifted by -5 seconds.");
    int64_t device = 0;
    ASSERT_TRUE(ReadUtcCount(device));
    // 6.3 s ahead at the fifth sample, moved back 5.9 s, then 100 ms on.
    EXPECT_EQ(device, now_ + 5 * kUnitsPerSecond / 10);
}

TEST_F(SyncSamplesTest, ATimeBeforeTheBuildIsRefused) {
    // A receiver caught in a week-number rollover reports a date 1024 weeks old.
    const int64_t rolledBack = now_ - 1024LL * 7 * 24 * 3600 * kUnitsPerSecond;
    ASSERT_TRUE(CountToCalendar(rolledBack, app_.gpsPosition.stUTCTime));
    UseManualClock(now_, 0);
    RunFiveSamples();

    ASSERT_EQ(host_.Count(MSG_SYNC_FAILED), 1);
    EXPECT_EQ(host_.messages.back().wParam, kSyncFailedClockNotChanged);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kNotChangedFailure);
    EXPECT_EQ(host_.boxes[0].icon, MessageIcon::Warning);
    int64_t device = 0;
    ASSERT_TRUE(ReadUtcCount(device));
    EXPECT_EQ(device, now_ + 5 * kUnitsPerSecond / 10); // only the samples' own steps
}

} // namespace
} // namespace mv
