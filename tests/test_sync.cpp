// The clock synchronisation: the procedure's rules on a simulated timeline, then the main window's
// "Synchronize" against a real gpsd on loopback with the simulated device clock (the machine's
// clock is never touched).

#include "app/clock_tick.h"
#include "app/main_window.h"
#include "gps/sync_procedure.h"
#include "gps_test_env.h"
#include "platform/device_clock.h"
#include "platform/screen.h"
#include "platform/soft_key_bar.h"
#include "resources/resource_ids.h"
#include "test_env.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>
#include <variant>
#include <vector>

namespace mv {
namespace {

using namespace std::chrono_literals;

constexpr UtcTime kBuild{std::chrono::seconds(1'750'000'000)}; // 2025
constexpr UtcTime kNow = kBuild + std::chrono::days(365);

// One report per GPS time, each sampled by a frame whose device clock starts `ahead` of kNow and
// moves on 100 ms per report; the step of the last frame.
SyncStep Sample(SyncProcedure& sync, const std::vector<ClockTicks>& gpsFromNow, ClockTicks ahead) {
    SyncStep step;
    UtcTime device = kNow + ahead;
    for (const ClockTicks gps : gpsFromNow) {
        sync.NoteReport();
        step = sync.Feed(kNow + gps, device);
        device += 100ms;
    }
    return step;
}

std::optional<ClockTicks> ShiftOf(const SyncStep& step) {
    const auto* shift = std::get_if<ShiftClock>(&step);
    return shift != nullptr ? std::optional(shift->shift) : std::nullopt;
}

TEST(SyncProcedure, TheFifthSampleDecides) {
    constexpr ClockTicks kWeek = std::chrono::weeks(1);
    constexpr ClockTicks kZero{};
    const auto five = [](ClockTicks gps) { return std::vector<ClockTicks>(5, gps); };
    using enum SyncFailure;
    const struct {
        const char* what;
        std::vector<ClockTicks> gps;
        ClockTicks ahead;
        std::optional<ClockTicks> shift;
        std::optional<SyncFailure> failure;
    } cases[] = {
        // 5.9 s ahead, then 6.0, ... 6.3: the largest agreeing offset wins; one report 1024
        // weeks ahead is not evidence.
        {"agreeing", {kZero, kZero, 1024 * kWeek, kZero, kZero}, 5900ms, -5900ms, {}},
        {"no three agree", {{}, 400 * kWeek, -300 * kWeek, 5s, 1024 * kWeek}, {}, {}, NoGpsTime},
        {"a rollover behind", five(-1024 * kWeek), kZero, {}, BeforeBuild},
        {"70 years ahead", five(3640 * kWeek), kZero, {}, TooFarAhead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SyncProcedure sync(kBuild);
        ASSERT_TRUE(sync.Start());
        const SyncStep last = Sample(sync, c.gps, c.ahead);
        EXPECT_EQ(ShiftOf(last), c.shift);
        const auto* failed = std::get_if<SyncFailed>(&last);
        EXPECT_EQ(failed ? std::optional(failed->failure) : std::nullopt, c.failure);
        EXPECT_FALSE(sync.Running());
        EXPECT_EQ(sync.ClockChangePending(), c.shift.has_value());
    }
}

TEST(SyncProcedure, SamplesFollowTheReportsAndAStartDropsThem) {
    SyncProcedure sync(kBuild);
    sync.NoteReport();
    EXPECT_TRUE(std::holds_alternative<KeepSampling>(sync.Feed(kNow, kNow))); // not running
    ASSERT_TRUE(sync.Start());
    sync.Feed(kNow, kNow + 2s); // the report held at the start is sampled
    sync.Feed(kNow, kNow + 2s); // no new report: no sample
    EXPECT_EQ(sync.Samples().size(), 1u);
    EXPECT_EQ(sync.Samples()[0], ClockTicks(-2s)); // GPS time minus device time

    sync.NoteReport();
    ASSERT_TRUE(sync.Start(FirstSample::NextReport)); // starts over, held report ignored
    EXPECT_TRUE(sync.Samples().empty());
    sync.Feed(kNow, kNow);
    EXPECT_TRUE(sync.Samples().empty());
    sync.NoteReport();
    sync.NoteReport(); // two reports before a frame make one sample
    sync.Feed(kNow, kNow);
    sync.Feed(kNow, kNow);
    EXPECT_EQ(sync.Samples().size(), 1u);
}

TEST(SyncProcedure, NoSecondShiftWhileAClockChangeAwaitsItsAnswer) {
    SyncProcedure sync(kBuild);
    EXPECT_TRUE(sync.CommandAvailable(true));
    EXPECT_FALSE(sync.CommandAvailable(false));
    ASSERT_TRUE(sync.Start());
    ASSERT_EQ(ShiftOf(Sample(sync, {{}, {}, {}, {}, {}}, 2s)), ClockTicks(-2s));
    EXPECT_FALSE(sync.CommandAvailable(true));
    EXPECT_FALSE(sync.Start()); // would measure the same uncorrected clock again
    EXPECT_FALSE(sync.Running());
    sync.ClockChangeAnswered();
    EXPECT_TRUE(sync.CommandAvailable(true));
    EXPECT_TRUE(sync.Start());
}

TEST(SyncProcedure, TheTimeOutAndALossOfGpsTimeEndIt) {
    SyncProcedure sync(kBuild);
    EXPECT_EQ(sync.Timeout(), std::nullopt);
    EXPECT_EQ(sync.GpsTimeLost(true), std::nullopt);
    using End = std::optional<SyncFailure> (*)(SyncProcedure&);
    const std::tuple<const char*, End, std::optional<SyncFailure>> cases[] = {
        {"time-out", [](SyncProcedure& s) { return s.Timeout(); }, SyncFailure::NoGpsTime},
        {"lost", [](SyncProcedure& s) { return s.GpsTimeLost(true); }, SyncFailure::NoGpsTime},
        {"lost by a disconnect", [](SyncProcedure& s) { return s.GpsTimeLost(false); }, {}},
    };
    for (const auto& [what, end, failure] : cases) {
        ASSERT_TRUE(sync.Start());
        Sample(sync, {{}, {}}, {});
        EXPECT_EQ(end(sync), failure) << what;
        EXPECT_FALSE(sync.Running()) << what;
        EXPECT_FALSE(sync.ClockChangePending()) << what;
    }
}

// The main window's Connect, Synchronize and Disconnect against gpsd and the feeder.
class WindowSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideScreenDpi(96, 96);
        UseSimulatedClock(57 * kUnitsPerSecond / 10); // 5.7 s ahead
        ASSERT_TRUE(env_.Start()) << env_.Diagnostics();
        ASSERT_TRUE(test::UseGpsdAt(env_.GpsdPort()));
        ASSERT_TRUE(
            state_->face.LoadSkin(QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs"),
                                  FaceOptionsOf(state_->settings)));
        window_ = std::make_unique<MainWindow>(*state_, state_->settings, unsavedReport_);
        ASSERT_TRUE(window_->InitMainWindow());
    }
    void TearDown() override {
        window_.reset();
        UseSystemClock();
    }

    test::IsolatedHome home_;
    test::GpsTestEnv env_;
    std::unique_ptr<AppState> state_ = std::make_unique<AppState>();
    UnsavedSettingsReport unsavedReport_;
    std::unique_ptr<MainWindow> window_;
    test::RecordedMessageBoxes messages_;
    const std::vector<MessageBoxRequest>& boxes = messages_.boxes;
};

TEST_F(WindowSyncTest, SynchronizeMovesAClockAheadBackAndALostFixFailsIt) {
    SoftKey(window_->ConnectBar(), IDM_CONNECT)->click();
    ASSERT_TRUE(test::WaitUntil([&] { return state_->gpsTimeValid; }, 5000)) << env_.Diagnostics();
    EXPECT_TRUE(window_->ConnectBar()->isHidden());
    EXPECT_FALSE(window_->DisconnectBar()->isHidden());

    MenuCommand(SoftKeyMenu(window_->DisconnectBar(), IDM_MENU), IDM_SYNCHRONIZE)->trigger();
    ASSERT_TRUE(test::WaitUntil([&] { return !window_->SyncLabel()->isHidden(); }, 1000));
    ASSERT_TRUE(test::WaitUntil([&] { return !boxes.empty(); }, 8000)) << env_.Diagnostics();
    EXPECT_TRUE(window_->SyncLabel()->isHidden());
    ASSERT_EQ(boxes.size(), 1u);
    // Every offset is -5.7 s minus its delivery delay; the largest wins, -5.7x s is "-5".
    EXPECT_TRUE(boxes[0].text.endsWith("shifted by -5 seconds.")) << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
    // What is left is the delivery delay of the best sample.
    EXPECT_LE(SimulatedClockOffset(), 0);
    EXPECT_GT(SimulatedClockOffset(), -300 * kUnitsPerMillisecond);

    const int64_t synchronized = SimulatedClockOffset();
    MenuCommand(SoftKeyMenu(window_->DisconnectBar(), IDM_MENU), IDM_SYNCHRONIZE)->trigger();
    ASSERT_TRUE(env_.Feed("fix none"));
    ASSERT_TRUE(test::WaitUntil([&] { return boxes.size() == 2; }, 3000));
    EXPECT_TRUE(boxes[1].text.contains("Fix your GPS connectivity"));
    EXPECT_TRUE(window_->SyncLabel()->isHidden());
    EXPECT_EQ(SimulatedClockOffset(), synchronized);

    SoftKey(window_->DisconnectBar(), IDM_DISCONNECT)->click();
    ASSERT_TRUE(test::WaitUntil([&] { return window_->DisconnectBar()->isHidden(); }, 1000));
    EXPECT_FALSE(window_->ConnectBar()->isHidden());
}

} // namespace
} // namespace mv
