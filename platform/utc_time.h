#pragma once
// A UTC moment as std::chrono counts it (from 1970), at the device clock's resolution of 100 ns.
// The layers above the platform exchange times in this form; the device clock's own counts from
// 1601 stay inside the platform.

#include "platform/calendar.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <ratio>

namespace mv {

using ClockTicks = std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>;
using UtcTime = std::chrono::sys_time<ClockTicks>;

// The device clock's UTC time now; none when it can't be read.
std::optional<UtcTime> ReadUtcTime();
// A UTC calendar record as a moment; none for a record that names no moment.
std::optional<UtcTime> UtcTimeFromCalendar(const CalendarTime& utc);
// A moment in local time under the system time zone now in force; none when it can't be shown.
std::optional<CalendarTime> LocalCalendarOf(UtcTime utc);
// A calendar record read as a moment on its own scale (local or UTC alike) and back, for
// arithmetic on the time a face shows. None for a record that names no moment or a moment before
// the device clock's scale begins (1601).
using CalendarMoment = std::chrono::local_time<ClockTicks>;
std::optional<CalendarMoment> MomentFromCalendar(const CalendarTime& time);
std::optional<CalendarTime> CalendarFromMoment(CalendarMoment moment);
// The device's local time now; all zeros when it can't be read.
CalendarTime DeviceLocalTimeOrZero();

} // namespace mv
