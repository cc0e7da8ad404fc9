// The clock synchronisation against a real gpsd on loopback, with the simulated device clock (the
// machine's clock is never touched).

#include "fake_gpsd.h"
#include "gps/gps_connect.h"
#include "gps/gps_time.h"
#include "gps/sync.h"
#include "gps_app_host.h"
#include "gps_test_env.h"
#include "platform/clock_change.h"
#include "platform/device_clock.h"
#include "platform/window_timers.h"
#include "test_env.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <optional>

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

// Without gpsd: fix times set directly and a manual device clock that moves on between samples.
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
        app_.gpsPosition.dwValidFields = kGpsValidUtcTime;
    }
    void TearDown() override {
        ReleaseHeldClockChanges();
        UseSystemClock();
    }

    // One notification per fix time, each followed by a frame, the device clock 100 ms further
    // each time; the device clock starts `ahead` of now_.
    void RunSamples(std::initializer_list<int64_t> fixTimes, int64_t ahead) {
        UseManualClock(now_ + ahead, 0);
        StartSync(app_);
        for (const int64_t fixTime : fixTimes) {
            ASSERT_TRUE(CountToCalendar(fixTime, app_.gpsPosition.stUTCTime));
            app_.gpsPositionTick = ReadTickCount();
            CountGpsNotification(app_);
            CalendarTime shown;
            PollGpsTime(app_, shown);
            AdvanceManualClock(100);
        }
        host_.RunFor(50ms);
    }
    int64_t DeviceTime() {
        int64_t device = 0;
        EXPECT_TRUE(ReadUtcCount(device));
        return device;
    }

    int64_t now_ = 0;
    AppState app_;
    test::GpsAppHost host_{app_};
};

constexpr int64_t kWeekUnits = 7LL * 24 * 3600 * kUnitsPerSecond;
constexpr char kShiftedBackFive[] =
    "Time synchronization was successful.\n\nSystem clock has been shifted by -5 seconds.";

TEST_F(SyncSamplesTest, TheLargestAgreeingOffsetWinsAndTheShiftIsTruncated) {
    // 5.9 s ahead, then 6.0, ... 6.3; one report 1024 weeks ahead is not evidence.
    RunSamples({now_, now_, now_ + 1024 * kWeekUnits, now_, now_}, 59 * kUnitsPerSecond / 10);

    EXPECT_EQ(app_.bestOffset, -59 * kUnitsPerSecond / 10);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kShiftedBackFive);
    // 6.3 s ahead at the fifth sample, moved back 5.9 s, then 100 ms on.
    EXPECT_EQ(DeviceTime(), now_ + 5 * kUnitsPerSecond / 10);
}

TEST_F(SyncSamplesTest, SamplesThatDontAgreeChangeNothing) {
    RunSamples({now_, now_ + 400 * kWeekUnits, now_ - 300 * kWeekUnits, now_ + 5 * kUnitsPerSecond,
                now_ + 1024 * kWeekUnits},
               0);
    ASSERT_EQ(host_.Count(MSG_SYNC_FAILED), 1);
    EXPECT_EQ(host_.messages.back().wParam, kSyncFailedNoGpsTime);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kConnectivityFailure);
    EXPECT_EQ(DeviceTime(), now_ + 5 * kUnitsPerSecond / 10); // only the samples' own steps
}

TEST_F(SyncSamplesTest, TimesBeforeTheBuildOrFarAfterItAreRefused) {
    const struct {
        int64_t fixTime;
        uintptr_t failure;
    } cases[] = {
        {now_ - 1024 * kWeekUnits, kSyncFailedBeforeBuild}, // a week-number rollover behind
        {now_ + 3640 * kWeekUnits, kSyncFailedTooFarAhead}, // a receiver 70 years ahead
    };
    for (const auto& c : cases) {
        host_.boxes.clear();
        RunSamples({c.fixTime, c.fixTime, c.fixTime, c.fixTime, c.fixTime}, 0);
        ASSERT_FALSE(host_.messages.empty());
        EXPECT_EQ(host_.messages.back().message, MSG_SYNC_FAILED);
        EXPECT_EQ(host_.messages.back().wParam, c.failure);
        ASSERT_EQ(host_.boxes.size(), 1u);
        EXPECT_EQ(host_.boxes[0].text, kNotChangedFailure);
        EXPECT_EQ(host_.boxes[0].icon, MessageIcon::Warning);
        EXPECT_EQ(DeviceTime(), now_ + 5 * kUnitsPerSecond / 10);
    }
}

TEST_F(SyncSamplesTest, NoSecondSynchronisationWhileAClockChangeAwaitsItsAnswer) {
    app_.gpsTimeValid = true;
    HoldClockChanges();
    RunSamples({now_, now_, now_, now_, now_}, 59 * kUnitsPerSecond / 10);
    EXPECT_TRUE(app_.clockChangePending);
    EXPECT_FALSE(host_.SynchronizeEnabled());
    StartSync(app_); // would measure the same uncorrected clock again
    EXPECT_EQ(app_.samplesLeft, 0);
    EXPECT_TRUE(host_.syncLabel->isHidden());

    ReleaseHeldClockChanges();
    EXPECT_FALSE(app_.clockChangePending);
    EXPECT_TRUE(host_.SynchronizeEnabled());
    host_.RunFor(50ms);
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0].text, kShiftedBackFive);
    EXPECT_EQ(DeviceTime(), now_ + 5 * kUnitsPerSecond / 10); // shifted once
}

TEST_F(SyncSamplesTest, TheReportedShiftKeepsAllItsBits) {
    ShowSyncDone(&host_.window, uintptr_t(int64_t(-3'000'000'000)));
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_TRUE(host_.boxes[0].text.contains("shifted by -3000000000 seconds"))
        << host_.boxes[0].text.toStdString();
}

// A fake gpsd on loopback sends what a real one can't be made to: the face and the
// synchronisation must do the sound thing, and nothing may crash or hang.
class BadReportsTest : public ::testing::Test {
protected:
    static constexpr int64_t kAhead = 2 * kUnitsPerSecond;
    static constexpr auto kInterval = 100ms;

    void TearDown() override { Disconnect(); }

    void Connect(test::FakeGpsd::Script script) {
        UseSimulatedClock(kAhead);
        gpsd_.emplace(std::move(script), kInterval);
        ASSERT_TRUE(gpsd_->Start());
        ASSERT_TRUE(test::UseGpsdAt(gpsd_->Port()));
        SetGpsConnected(app_, &host_.window, true);
        ASSERT_TRUE(app_.gpsConnected);
    }
    void Disconnect() {
        SetGpsConnected(app_, nullptr, false);
        host_.RunFor(50ms);
        gpsd_.reset();
        host_.messages.clear();
        host_.boxes.clear();
        UseSystemClock();
    }
    // The wParam of the first closing message (MSG_SYNC_DONE or MSG_SYNC_FAILED).
    uintptr_t ClosingWParam() const {
        for (const test::ReceivedMessage& m : host_.messages) {
            if (m.message == MSG_SYNC_DONE || m.message == MSG_SYNC_FAILED)
                return m.wParam;
        }
        return ~uintptr_t(0);
    }
    // A frame drawn by the clock tick, without a notification.
    bool FrameShowsGpsTime() {
        CalendarTime shown;
        PollGpsTime(app_, shown);
        return app_.gpsTimeValid;
    }

    test::IsolatedHome home_;
    std::optional<test::FakeGpsd> gpsd_;
    AppState app_;
    test::GpsAppHost host_{app_};
};

std::optional<std::string> GoodReport(int) {
    return test::TpvReport(test::UnixNanosecondsNow());
}

TEST_F(BadReportsTest, SynchronisationTrustsOnlyAgreeingTimedReports) {
    constexpr int64_t kYearNs = 365LL * 86'400 * 1'000'000'000;
    const struct {
        const char* what;
        test::FakeGpsd::Script script;
        std::optional<uintptr_t> failure; // none: done, the clock set back by its 2 s
    } cases[] = {
        {"a report 69 years ahead among good ones",
         [](int step) {
             return test::TpvReport(test::UnixNanosecondsNow() + (step == 2 ? 69 * kYearNs : 0));
         },
         std::nullopt},
        {"every report in 2095",
         [](int) { return test::TpvReport(test::UnixNanosecondsNow() + 69 * kYearNs); },
         kSyncFailedTooFarAhead},
        {"a fix without a time between good ones",
         [](int step) { return test::TpvReport(test::UnixNanosecondsNow(), 3, step != 2); },
         kSyncFailedNoGpsTime},
        {"invalid JSON and a 1 MB line, then good reports",
         [](int step) -> std::optional<std::string> {
             if (step == 0)
                 return R"({"class":"TPV","mode":3,"time":"2026-)"
                        "\n";
             if (step == 1)
                 return R"({"class":"TPV","mode":3,"tag":")" + std::string(1 << 20, 'x') + "\"}\n";
             return GoodReport(step);
         },
         std::nullopt},
        {"a flood of reports",
         [](int step) {
             std::string reports;
             for (int i = 0; i < (step == 1 ? 2000 : 1); ++i)
                 reports += *GoodReport(step);
             return reports;
         },
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Connect(c.script);
        EXPECT_TRUE(host_.RunUntil([&] { return app_.gpsTimeValid; }, 5s));
        StartSync(app_);
        EXPECT_TRUE(host_.RunUntil(
            [&] { return host_.Count(MSG_SYNC_DONE) + host_.Count(MSG_SYNC_FAILED) > 0; }, 8s));
        if (c.failure) {
            EXPECT_EQ(host_.Count(MSG_SYNC_FAILED), 1);
            EXPECT_EQ(ClosingWParam(), *c.failure);
            EXPECT_EQ(SimulatedClockOffset(), kAhead);
        } else {
            EXPECT_EQ(host_.Count(MSG_SYNC_DONE), 1);
            EXPECT_EQ(ClosingWParam(), uintptr_t(-2)); // -2.0x s, toward zero
            EXPECT_LE(SimulatedClockOffset(), 0);
            EXPECT_GT(SimulatedClockOffset(), -300 * kUnitsPerMillisecond);
        }
        Disconnect();
    }
}

TEST_F(BadReportsTest, GarbledDateNeverSetsTheClock) {
    Connect([](int) -> std::optional<std::string> {
        return R"({"class":"TPV","device":"/dev/fake0","mode":3,"time":"9999-99-99T99:99:99.000Z",)"
               R"("lat":48.1,"lon":11.5,"alt":545.4})"
               "\n";
    });
    // Whatever date the client library makes of it, it is not one to set the clock to.
    if (host_.RunUntil([&] { return app_.gpsTimeValid; }, 3s)) {
        StartSync(app_);
        ASSERT_TRUE(host_.RunUntil([&] { return host_.Count(MSG_SYNC_FAILED) > 0; }, 8s));
        EXPECT_NE(ClosingWParam(), kSyncFailedNoGpsTime);
    }
    EXPECT_EQ(host_.Count(MSG_SYNC_DONE), 0);
    EXPECT_EQ(SimulatedClockOffset(), kAhead);
}

TEST_F(BadReportsTest, ASilentReceiverGivesWayToTheDeviceClock) {
    Connect([](int step) { return step < 5 ? GoodReport(step) : std::nullopt; });
    ASSERT_TRUE(host_.RunUntil([&] { return gpsd_->StepsSent() == 5 && app_.gpsTimeValid; }, 5s));
    QElapsedTimer silence;
    silence.start();
    // gpsd keeps the device open and says nothing: the clock tick's frames notice.
    ASSERT_TRUE(host_.RunUntil([&] { return !FrameShowsGpsTime(); }, 4s));
    EXPECT_GE(silence.elapsed(), int64_t(kMaximumPositionAgeMs) - 200);
}

} // namespace
} // namespace mv
