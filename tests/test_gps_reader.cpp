// The GPS reader and the GPS session: against a real gpsd on loopback fed by the NMEA feeder, and
// against a fake gpsd for reports a real one can't be made to send.

#include "fake_gpsd.h"
#include "gps/gps_session.h"
#include "gps/sync_decision.h"
#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/event.h"
#include "platform/gps_driver.h"
#include "test_env.h"

#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace mv {
namespace {

using namespace std::chrono_literals;

class GpsSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The first thread of a process may bring helpers of the runtime's own (a sanitizer's).
        std::thread([] {}).join();
        threadsBefore_ = test::ThreadCount();
    }

    bool WaitForUsable(bool usable) {
        return test::WaitUntil([&] { return session_.TimeNow().usable == usable; }, 5000);
    }
    bool ThreadsBackToBefore() {
        return test::WaitUntil([&] { return test::ThreadCount() == threadsBefore_; }, 2000);
    }

    test::IsolatedHome home_;
    QObject context_;
    int reports_ = 0;
    GpsSession session_{&context_, [this] { ++reports_; }};
    size_t threadsBefore_ = 0;
};

TEST_F(GpsSessionTest, FollowsTheReceiverAndGpsdAcrossTheirChanges) {
    test::GpsTestEnv env;
    ASSERT_TRUE(env.Start("2d")) << env.Diagnostics();
    ASSERT_TRUE(test::UseGpsdAt(env.GpsdPort()));
    ASSERT_TRUE(session_.Connect());
    EXPECT_TRUE(session_.Connect()); // connected already

    ASSERT_TRUE(WaitForUsable(true)) << env.Diagnostics();
    const GpsRecords records = session_.Records();
    EXPECT_EQ(records.receiver, (GpsReceiverState{true, true}));
    EXPECT_EQ(records.fix.kind, GpsFixKind::TwoD);
    const std::optional<UtcTime> now = ReadUtcTime();
    ASSERT_TRUE(now && records.fix.utc);
    EXPECT_LT(std::chrono::abs(*now - *records.fix.utc), 3s);

    ASSERT_TRUE(env.Feed("fix none"));
    EXPECT_TRUE(WaitForUsable(false));
    ASSERT_TRUE(env.Feed("fix dgps"));
    EXPECT_TRUE(WaitForUsable(true));
    EXPECT_TRUE(session_.Records().fix.differential);

    env.StopGpsd();
    EXPECT_TRUE(WaitForUsable(false));
    ASSERT_TRUE(env.StartGpsd()) << env.Diagnostics();
    EXPECT_TRUE(WaitForUsable(true)) << env.Diagnostics();

    // gpsd keeps the device open and sends nothing; the clock's frames notice.
    ASSERT_TRUE(env.Feed("stop"));
    QElapsedTimer silence;
    silence.start();
    EXPECT_TRUE(WaitForUsable(false));
    // The last report came at most about a second before the stop.
    EXPECT_GE(silence.elapsed(), int64_t(kMaximumPositionAgeMs) - 1200);

    EXPECT_GT(reports_, 0);
    session_.Disconnect();
    EXPECT_FALSE(session_.TimeNow().usable);
    EXPECT_TRUE(ThreadsBackToBefore());
    test::WaitUntil([] { return false; }, 100); // what was on its way arrives
    const int reports = reports_;
    ASSERT_TRUE(env.Feed("start"));
    test::WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(reports_, reports);
}

TEST_F(GpsSessionTest, BadReportsNeverGiveATimeToSet) {
    constexpr int64_t kYearNs = 365LL * 86'400 * 1'000'000'000;
    const auto now = [] { return test::TpvReport(test::UnixNanosecondsNow()); };
    const struct {
        const char* what;
        test::FakeGpsd::Script script;
        bool usable; // else never usable while the script runs
    } cases[] = {
        {"invalid JSON, a 1 MB line and a flood of reports, then good reports",
         [now](int step) {
             std::string text =
                 step == 0 ? std::string(R"({"class":"TPV","mode":3,"time":"2026-)") + "\n"
                 : step == 1
                     ? R"({"class":"TPV","mode":3,"tag":")" + std::string(1 << 20, 'x') + "\"}\n"
                     : now();
             for (int i = 0; step == 2 && i < 2000; ++i)
                 text += now();
             return text;
         },
         true},
        {"fixes without a time",
         [](int) { return test::TpvReport(test::UnixNanosecondsNow(), 3, false); }, false},
        {"a garbled date",
         [](int) {
             return std::string(R"({"class":"TPV","device":"/dev/fake0","mode":3,)"
                                R"("time":"9999-99-99T99:99:99.000Z","lat":48.1,"lon":11.5})") +
                    "\n";
         },
         false},
        {"a receiver 69 years ahead",
         [](int) { return test::TpvReport(test::UnixNanosecondsNow() + 69 * kYearNs); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeGpsd gpsd(c.script, 100ms);
        ASSERT_TRUE(gpsd.Start());
        ASSERT_TRUE(test::UseGpsdAt(gpsd.Port()));
        ASSERT_TRUE(session_.Connect());
        // Usable time must be a time the clock may be set to.
        const auto settable = [&] {
            const GpsTimeNow gps = session_.TimeNow();
            const std::optional<UtcTime> now = ReadUtcTime();
            return gps.usable && now &&
                   JudgeShift(*now, gps.utc - *now, BuildTime()) == ShiftVerdict::Allowed;
        };
        EXPECT_EQ(test::WaitUntil([&] { return gpsd.StepsSent() > 3 && settable(); },
                                  c.usable ? 5000 : 1500),
                  c.usable);
        session_.Disconnect();
    }
}

// Blocks the worker in its first fix notification until released.
struct StuckListener : GpsListener {
    void OnFix(const GpsFix&) override {
        if (!entered.exchange(true)) {
            inside.Signal();
            release.Wait();
        }
    }
    void OnReceiverState(const GpsReceiverState&) override {}

    Event inside, release;
    std::atomic<bool> entered = false;
};

TEST_F(GpsSessionTest, ReaderStatusCodesAndAWorkerThatDoesNotStopInTime) {
    ASSERT_TRUE(test::UseGpsdAt(test::FreeLoopbackPort()));
    EXPECT_FALSE(session_.Connect());
    EXPECT_FALSE(session_.Connected());
    session_.Disconnect(); // nothing to do
    GpsReader reader;
    StuckListener listener;
    EXPECT_EQ(reader.Open(nullptr), kReaderInvalidArgument);
    EXPECT_EQ(reader.Close(), kReaderInvalidArgument);
    EXPECT_EQ(reader.Open(&listener), int32_t(0x80070000u | kGpsErrorNotFound));
    EXPECT_TRUE(ThreadsBackToBefore());

    test::GpsTestEnv env;
    ASSERT_TRUE(env.Start()) << env.Diagnostics();
    ASSERT_TRUE(test::UseGpsdAt(env.GpsdPort()));
    ASSERT_EQ(reader.Open(&listener), kReaderOk);
    EXPECT_EQ(reader.Open(&listener), int32_t(0x80070000u | kGpsErrorBusy));
    ASSERT_TRUE(listener.inside.Wait(5s)) << env.Diagnostics();

    // The stuck worker still holds the device and its events once Close has given up.
    EXPECT_EQ(reader.Close(), kReaderWorkerStillRunning);
    EXPECT_EQ(GPSOpenDevice(nullptr, nullptr, nullptr, 0), GpsDeviceHandle::None);
    EXPECT_EQ(GpsLastError(), kGpsErrorBusy);

    // Released, it ends and closes the device after it.
    listener.release.Signal();
    GpsDeviceHandle device = GpsDeviceHandle::None;
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return (device = GPSOpenDevice(nullptr, nullptr, nullptr, 0)) != GpsDeviceHandle::None;
        },
        2000));
    EXPECT_EQ(GPSCloseDevice(device), kGpsOk);
    EXPECT_TRUE(ThreadsBackToBefore());
}

} // namespace
} // namespace mv
