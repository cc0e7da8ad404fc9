#include "platform/utc_time.h"

#include "platform/device_clock.h"

namespace mv {

namespace {

constexpr int64_t kTicksFrom1601To1970 = 11'644'473'600 * kUnitsPerSecond;

UtcTime FromCount(int64_t count) {
    return UtcTime(ClockTicks(count - kTicksFrom1601To1970));
}

} // namespace

std::optional<UtcTime> ReadUtcTime() {
    int64_t count = 0;
    if (!ReadUtcCount(count))
        return std::nullopt;
    return FromCount(count);
}

std::optional<UtcTime> UtcTimeFromCalendar(const CalendarTime& utc) {
    int64_t count = 0;
    if (!CalendarToCount(utc, count))
        return std::nullopt;
    return FromCount(count);
}

std::optional<CalendarTime> LocalCalendarOf(UtcTime utc) {
    int64_t count = 0;
    int64_t local = 0;
    CalendarTime shown;
    if (__builtin_add_overflow(utc.time_since_epoch().count(), kTicksFrom1601To1970, &count) ||
        !UtcToLocalCount(count, local) || !CountToCalendar(local, shown))
        return std::nullopt;
    return shown;
}

std::optional<CalendarMoment> MomentFromCalendar(const CalendarTime& time) {
    int64_t count = 0;
    if (!CalendarToCount(time, count))
        return std::nullopt;
    return CalendarMoment(ClockTicks(count - kTicksFrom1601To1970));
}

std::optional<CalendarTime> CalendarFromMoment(CalendarMoment moment) {
    int64_t count = 0;
    CalendarTime time;
    if (__builtin_add_overflow(moment.time_since_epoch().count(), kTicksFrom1601To1970, &count) ||
        !CountToCalendar(count, time))
        return std::nullopt;
    return time;
}

CalendarTime DeviceLocalTimeOrZero() {
    CalendarTime time;
    if (!ReadLocalTime(time))
        return CalendarTime{};
    return time;
}

} // namespace mv
