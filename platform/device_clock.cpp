#include "platform/device_clock.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

namespace mv {

namespace {

constexpr int64_t kUnitsPerMinute = 60 * kUnitsPerSecond;
constexpr int64_t kUnitsPerHour = 60 * kUnitsPerMinute;
constexpr int64_t kUnitsPerDay = 24 * kUnitsPerHour;
constexpr int64_t kDaysFrom1601To1970 = 134'774;
constexpr int64_t kSecondsFrom1601To1970 = kDaysFrom1601To1970 * 86'400;
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30828; // the scale ends on 30828-09-14

struct ClockState {
    std::mutex lock;
    DeviceClockMode mode = DeviceClockMode::System;
    int64_t offset = 0;    // Simulated
    int64_t manualUtc = 0; // Manual
    uint32_t manualTick = 0;
};

ClockState& Clock() {
    static ClockState clock;
    return clock;
}

bool ReadSystemUtc(int64_t& count) {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return false;
    const int64_t moment =
        (int64_t(now.tv_sec) + kSecondsFrom1601To1970) * kUnitsPerSecond + now.tv_nsec / 100;
    if (moment < 0)
        return false;
    count = moment;
    return true;
}

uint32_t ReadSystemTick() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return 0;
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1'000'000);
}

// Whole seconds of a non-negative count as a time_t on the Unix epoch.
time_t UnixSeconds(int64_t count) {
    return time_t(count / kUnitsPerSecond - kSecondsFrom1601To1970);
}

} // namespace

void UseSystemClock() {
    std::lock_guard guard(Clock().lock);
    Clock().mode = DeviceClockMode::System;
    Clock().offset = 0;
}

void UseSimulatedClock(int64_t offsetUnits) {
    std::lock_guard guard(Clock().lock);
    Clock().mode = DeviceClockMode::Simulated;
    Clock().offset = offsetUnits;
}

void UseManualClock(int64_t utcCount, uint32_t tick) {
    std::lock_guard guard(Clock().lock);
    Clock().mode = DeviceClockMode::Manual;
    Clock().manualUtc = utcCount;
    Clock().manualTick = tick;
}

void AdvanceManualClock(uint32_t milliseconds) {
    std::lock_guard guard(Clock().lock);
    if (Clock().mode != DeviceClockMode::Manual)
        return;
    Clock().manualUtc += int64_t(milliseconds) * kUnitsPerMillisecond;
    Clock().manualTick += milliseconds;
}

DeviceClockMode CurrentDeviceClockMode() {
    std::lock_guard guard(Clock().lock);
    return Clock().mode;
}

int64_t SimulatedClockOffset() {
    std::lock_guard guard(Clock().lock);
    return Clock().mode == DeviceClockMode::Simulated ? Clock().offset : 0;
}

bool ReadUtcCount(int64_t& count) {
    std::lock_guard guard(Clock().lock);
    switch (Clock().mode) {
    case DeviceClockMode::Manual:
        count = Clock().manualUtc;
        return true;
    case DeviceClockMode::Simulated: {
        int64_t system = 0;
        if (!ReadSystemUtc(system))
            return false;
        int64_t shifted = 0;
        if (__builtin_add_overflow(system, Clock().offset, &shifted))
            return false;
        count = shifted;
        return true;
    }
    case DeviceClockMode::System:
        break;
    }
    return ReadSystemUtc(count);
}

bool ReadLocalTime(CalendarTime& time) {
    int64_t utc = 0;
    int64_t local = 0;
    if (!ReadUtcCount(utc) || !UtcToLocalCount(utc, local))
        return false;
    return CountToCalendar(local, time);
}

uint32_t ReadTickCount() {
    std::lock_guard guard(Clock().lock);
    if (Clock().mode == DeviceClockMode::Manual)
        return Clock().manualTick;
    return ReadSystemTick();
}

void SleepMilliseconds(uint32_t milliseconds) {
    if (CurrentDeviceClockMode() == DeviceClockMode::Manual) {
        AdvanceManualClock(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

SetClockResult SetDeviceLocalTime(const CalendarTime& local) {
    int64_t localCount = 0;
    int64_t utc = 0;
    if (!CalendarToCount(local, localCount) || !LocalToUtcCount(localCount, utc))
        return SetClockResult::InvalidTime;
    std::lock_guard guard(Clock().lock);
    switch (Clock().mode) {
    case DeviceClockMode::Manual:
        Clock().manualUtc = utc;
        return SetClockResult::Set;
    case DeviceClockMode::Simulated: {
        int64_t system = 0;
        if (!ReadSystemUtc(system))
            return SetClockResult::Unavailable;
        Clock().offset = utc - system;
        return SetClockResult::Set;
    }
    case DeviceClockMode::System:
        break;
    }
    return SetClockResult::Unavailable;
}

bool ShiftSimulatedClock(int64_t shiftUnits) {
    std::lock_guard guard(Clock().lock);
    switch (Clock().mode) {
    case DeviceClockMode::Manual: {
        int64_t moved = 0;
        if (__builtin_add_overflow(Clock().manualUtc, shiftUnits, &moved) || moved < 0)
            return false;
        Clock().manualUtc = moved;
        return true;
    }
    case DeviceClockMode::Simulated: {
        int64_t moved = 0;
        if (__builtin_add_overflow(Clock().offset, shiftUnits, &moved))
            return false;
        Clock().offset = moved;
        return true;
    }
    case DeviceClockMode::System:
        break;
    }
    return false;
}

bool CalendarToCount(const CalendarTime& time, int64_t& count) {
    using namespace std::chrono;
    // The chrono types keep only the low bits of a field, so a field's range is checked first.
    if (time.year < kFirstYear || time.year > kLastYear || time.month > 12 || time.day > 31)
        return false;
    const year_month_day date{year(time.year), month(time.month), day(time.day)};
    if (!date.ok() || time.hour > 23 || time.minute > 59 || time.second > 59 ||
        time.milliseconds > 999)
        return false;
    const int64_t days = sys_days(date).time_since_epoch().count() + kDaysFrom1601To1970;
    const int64_t withinDay = time.hour * kUnitsPerHour + time.minute * kUnitsPerMinute +
                              time.second * kUnitsPerSecond +
                              time.milliseconds * kUnitsPerMillisecond;
    int64_t dayStart = 0;
    int64_t moment = 0;
    if (__builtin_mul_overflow(days, kUnitsPerDay, &dayStart) ||
        __builtin_add_overflow(dayStart, withinDay, &moment))
        return false;
    count = moment;
    return true;
}

bool CountToCalendar(int64_t count, CalendarTime& time) {
    using namespace std::chrono;
    if (count < 0)
        return false;
    const sys_days date{days(count / kUnitsPerDay - kDaysFrom1601To1970)};
    const year_month_day ymd{date};
    const int64_t withinDay = count % kUnitsPerDay;
    time.year = uint16_t(int(ymd.year()));
    time.month = uint16_t(unsigned(ymd.month()));
    time.day = uint16_t(unsigned(ymd.day()));
    time.dayOfWeek = uint16_t(weekday(date).c_encoding());
    time.hour = uint16_t(withinDay / kUnitsPerHour);
    time.minute = uint16_t(withinDay % kUnitsPerHour / kUnitsPerMinute);
    time.second = uint16_t(withinDay % kUnitsPerMinute / kUnitsPerSecond);
    time.milliseconds = uint16_t(withinDay % kUnitsPerSecond / kUnitsPerMillisecond);
    return true;
}

bool UtcToLocalCount(int64_t utcCount, int64_t& localCount) {
    if (utcCount < 0)
        return false;
    // Read the zone again, so that a change of the system time zone shows on the next call.
    tzset();
    const time_t seconds = UnixSeconds(utcCount);
    tm broken{};
    if (localtime_r(&seconds, &broken) == nullptr)
        return false;
    int64_t local = 0;
    if (__builtin_add_overflow(utcCount, int64_t(broken.tm_gmtoff) * kUnitsPerSecond, &local) ||
        local < 0)
        return false;
    localCount = local;
    return true;
}

bool LocalToUtcCount(int64_t localCount, int64_t& utcCount) {
    if (localCount < 0)
        return false;
    const time_t asIfUtc = UnixSeconds(localCount);
    tm broken{};
    if (gmtime_r(&asIfUtc, &broken) == nullptr)
        return false;
    broken.tm_isdst = -1; // let the zone decide whether daylight saving is in force
    broken.tm_wday = -1;  // mktime sets it on success; -1 is also a valid result time
    tzset();
    const time_t seconds = mktime(&broken);
    if (broken.tm_wday == -1)
        return false;
    int64_t utc = 0;
    if (__builtin_mul_overflow(int64_t(seconds) + kSecondsFrom1601To1970, kUnitsPerSecond, &utc) ||
        __builtin_add_overflow(utc, localCount % kUnitsPerSecond, &utc) || utc < 0)
        return false;
    utcCount = utc;
    return true;
}

} // namespace mv
