// The device clock's conversions, the display time with smooth motion, daylight saving and zone
// changes, and the clock tick's timer.
#include "app/clock_tick.h"
#include "platform/device_clock.h"
#include "platform/window_timers.h"

#include <QAbstractEventDispatcher>
#include <ctime>
#include <gtest/gtest.h>

namespace mv {
namespace {

CalendarTime Date(uint16_t year, uint16_t month, uint16_t day, uint16_t hour = 0,
                  uint16_t minute = 0, uint16_t second = 0, uint16_t milliseconds = 0) {
    return {year, month, 0, day, hour, minute, second, milliseconds};
}

int64_t Count(const CalendarTime& time) {
    int64_t count = -1;
    EXPECT_TRUE(CalendarToCount(time, count));
    return count;
}

double Degrees(double radians) {
    return radians * 180.0 / 3.14159265358979323846;
}

// TZ for the test's lifetime; the previous zone comes back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : previous_(qgetenv("TZ")) { Set(zone); }
    ~ScopedTimeZone() {
        previous_.isNull() ? qunsetenv("TZ") : qputenv("TZ", previous_);
        tzset();
    }
    void Set(const char* zone) {
        qputenv("TZ", zone);
        tzset();
    }

private:
    QByteArray previous_;
};

// What the clock tick does before a frame without GPS time: the device's local time, then the
// hands' angles for it.
void ComputeDisplayTime(AppState& state) {
    CalendarTime shown;
    ReadLocalTime(shown);
    state.face.ComputeDisplayTime(shown);
}

class DisplayTime : public testing::Test {
protected:
    void TearDown() override { UseSystemClock(); }
    AppState state;
    ScopedTimeZone zone{"UTC"};
};

TEST(TimeConversions, RecordsRoundTripAndInvalidOnesFail) {
    struct Case {
        CalendarTime time;
        int64_t count;
        uint16_t dayOfWeek;
    };
    const Case valid[] = {{Date(1601, 1, 1), 0, 1},
                          {Date(1970, 1, 1), 116'444'736'000'000'000, 4},
                          {Date(2000, 2, 29, 12, 34, 56, 789), 125'963'012'967'890'000, 2},
                          {Date(30828, 9, 14, 2, 48, 5, 477), 9'223'372'036'854'770'000, 4}};
    for (const Case& c : valid) {
        EXPECT_EQ(Count(c.time), c.count);
        CalendarTime back;
        ASSERT_TRUE(CountToCalendar(c.count + 5'807, back)); // sub-millisecond units drop
        CalendarTime expected = c.time;
        expected.dayOfWeek = c.dayOfWeek;
        EXPECT_EQ(back, expected) << c.count;
    }
    // Day 257 or month 257 would pass if only a field's low byte were read.
    for (const CalendarTime& time :
         {Date(2024, 13, 10), Date(2024, 257, 1), Date(2024, 1, 257), Date(2023, 2, 29),
          Date(2024, 4, 31), Date(2024, 1, 1, 24), Date(2024, 1, 1, 0, 0, 0, 1000),
          Date(1600, 12, 31), Date(30828, 9, 14, 2, 48, 5, 478), CalendarTime{}}) {
        int64_t count = 42;
        EXPECT_FALSE(CalendarToCount(time, count)) << time.year << "-" << time.month;
        EXPECT_EQ(count, 42);
    }
    CalendarTime untouched = Date(2024, 1, 1);
    int64_t converted = 0;
    EXPECT_FALSE(CountToCalendar(-1, untouched));
    EXPECT_EQ(untouched, Date(2024, 1, 1));
    EXPECT_FALSE(UtcToLocalCount(-1, converted));
    EXPECT_FALSE(LocalToUtcCount(-1, converted));
}

TEST_F(DisplayTime, SettingTheTimeMovesOnlyAReplacedClock) {
    zone.Set("Europe/Berlin");
    const CalendarTime summerNoon = Date(2024, 7, 15, 12);
    EXPECT_EQ(SetDeviceLocalTime(summerNoon), SetClockResult::Unavailable); // the system clock
    UseManualClock(0, 0);
    EXPECT_EQ(SetDeviceLocalTime(Date(2024, 2, 30)), SetClockResult::InvalidTime);
    ASSERT_EQ(SetDeviceLocalTime(summerNoon), SetClockResult::Set);
    int64_t utc = 0;
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_EQ(utc, Count(Date(2024, 7, 15, 10)));
    UseSystemClock();
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_GT(utc, Count(Date(2024, 7, 16))); // the machine's clock did not move
}

TEST_F(DisplayTime, FaceFollowsClockStepsAndZoneChangesOnTheNextFrame) {
    uint16_t somePixels[1] = {};
    struct Step {
        const char* zone;
        CalendarTime utc;
        bool halfDegree;
        double hour, minute, second;
    };
    const Step steps[] = {
        {"UTC", Date(2024, 1, 15, 10), false, 300, 0, 0},
        {"Asia/Tokyo", Date(2024, 1, 15, 10), false, 210, 0, 0}, // the same moment, 19:00 there
        {"Europe/Berlin", Date(2024, 3, 31, 0, 59, 59), false, 59, 359, 354},
        {"Europe/Berlin", Date(2024, 3, 31, 1), false, 90, 0, 0}, // 03:00 summer time
        {"UTC", Date(2024, 12, 31, 23, 59, 59), true, 359.5, 359.5, 354},
        {"UTC", Date(2025, 1, 1), true, 0, 0, 0}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << step.zone << " " << step.utc.year << " " << step.utc.hour
                                        << ":" << step.utc.minute);
        zone.Set(step.zone);
        UseManualClock(Count(step.utc), 0);
        state.face.Hands().supersampleSurface.pixels = step.halfDegree ? somePixels : nullptr;
        ComputeDisplayTime(state);
        EXPECT_NEAR(Degrees(state.face.Hands().hands[0].angle), step.hour, 1e-9);
        EXPECT_NEAR(Degrees(state.face.Hands().hands[1].angle), step.minute, 1e-9);
        EXPECT_NEAR(Degrees(state.face.Hands().hands[2].angle), step.second, 1e-9);
    }
    state.face.Hands().supersampleSurface.pixels = nullptr;
}

// A clock whose milliseconds are always 0: the glide comes from the tick counter alone.
TEST_F(DisplayTime, SmoothMotionGlidesOnTicksFromTheExactSecond) {
    state.settings.Smooth = 1;
    state.face.Hands().smoothMotion = 1;
    const int64_t at15 = Count(Date(2024, 1, 15, 12, 0, 15));
    const int64_t at16 = at15 + kUnitsPerSecond;
    const int64_t at20 = at15 + 5 * kUnitsPerSecond;
    struct Step {
        int64_t utc;
        uint32_t tick;
        double second, minute;
    };
    const Step steps[] = {
        {at15, 5000, 90.0, 1},
        {at15, 5100, 90.6, 1},
        {at15, 5500, 93.0, 1},
        {at16, 6050, 96.0, 1}, // a new second: the base starts again
        {at16, 6150, 96.6, 1},
        {at16, 7550, 105.0, 1}, // 1.5 s carried past the second
        {at16, 56050, 36.0, 6}, // 50 s without a new second: 12:01:06
        {at20, 0xFFFF'FFF0u, 120.0, 2},
        {at20, 0x50, 120.576, 2},                   // 96 ms across the counter's wrap
        {at20, 0xFFFF'FFF0u + 429'497u, 120.0, 2}}; // the 32-bit offset wraps to 0.27 ms
    for (const Step& step : steps) {
        UseManualClock(step.utc, step.tick);
        ComputeDisplayTime(state);
        EXPECT_NEAR(Degrees(state.face.Hands().hands[2].angle), step.second, 1e-9) << step.tick;
        EXPECT_NEAR(Degrees(state.face.Hands().hands[1].angle), step.minute, 1e-9) << step.tick;
    }

    // A clock that cannot be read shows 12:00:00, with no milliseconds added.
    state.face.ForgetSecondStart();
    UseManualClock(-1, 123'456);
    ComputeDisplayTime(state);
    for (const HandState& hand : state.face.Hands().hands)
        EXPECT_EQ(hand.angle, 0.0);
}

// The system clock carries real milliseconds: the face must follow it, not run ahead of it, and
// a paused clock must not add the pause when it resumes on the same second field.
TEST_F(DisplayTime, SmoothMotionFollowsAClockWithItsOwnMilliseconds) {
    state.settings.Smooth = 1;
    state.face.Hands().smoothMotion = 1;
    const int64_t start = Count(Date(2024, 1, 15, 12, 0, 15, 50));
    UseManualClock(start, 1000);
    for (int frame = 0; frame < 25; ++frame) {
        ComputeDisplayTime(state);
        const double trueSeconds = 15.05 + 0.1 * frame;
        EXPECT_NEAR(Degrees(state.face.Hands().hands[2].angle), 6.0 * trueSeconds, 1e-6) << frame;
        AdvanceManualClock(100);
    }

    ResumeClock(state); // no window: the timer goes nowhere
    UseManualClock(start + 60 * kUnitsPerSecond, 1000 + 60'000); // 12:01:15.050
    ComputeDisplayTime(state);
    EXPECT_NEAR(Degrees(state.face.Hands().hands[2].angle), 6.0 * 15.05, 1e-6);
}

QList<QAbstractEventDispatcher::TimerInfo> TimersOf(QObject& host) {
    return QAbstractEventDispatcher::instance()->registeredTimers(&host);
}

TEST_F(DisplayTime, RestartClockTimerReturnsAtTheSecondBoundary) {
    QObject host;
    state.mainWindow = &host;
    state.settings.Smooth = 1;
    const int64_t at15 = Count(Date(2024, 1, 15, 12, 0, 15));
    for (const uint32_t startMs : {0u, 300u, 996u, 999u}) {
        UseManualClock(at15 + startMs * kUnitsPerMillisecond, 1000);
        RestartClockTimer(state);
        CalendarTime now;
        ASSERT_TRUE(ReadLocalTime(now));
        EXPECT_EQ(now.second * 1000 + now.milliseconds, 16'000) << startMs;
        EXPECT_EQ(ReadTickCount(), 2000u - startMs) << startMs; // slept no further
        ASSERT_EQ(TimersOf(host).size(), 1);                    // the running timer is replaced
        EXPECT_EQ(TimersOf(host)[0].interval, 100);
        EXPECT_EQ(TimersOf(host)[0].timerType, Qt::PreciseTimer);
    }
    state.settings.Smooth = 0;
    RestartClockTimer(state);
    EXPECT_EQ(ReadTickCount(), 1001u); // no wait without smooth motion
    EXPECT_EQ(TimersOf(host)[0].interval, 1000);
    StopWindowTimer(state.windowTimers, TIMER_CLOCK);
    EXPECT_TRUE(TimersOf(host).isEmpty());
    {
        QObject shortLived;
        EXPECT_TRUE(StartWindowTimer(state.windowTimers, &shortLived, TIMER_SYNC, 6000));
    }
    EXPECT_FALSE(WindowTimerRunning(state.windowTimers, TIMER_SYNC)); // went with its host
}

} // namespace
} // namespace mv
