#pragma once
// The device's clock: its local time, the millisecond tick counter, and the conversions between
// calendar records and 100-ns counts on the file-time scale (from 1601-01-01 00:00 UTC).
//
// There is one clock per process. It normally follows the system clock and the system time
// zone; tests and the headless tools replace it with a simulated clock (an offset over the
// system clock, so "setting" the time never touches the machine's clock) or a manual one whose
// time and tick move only when told to.

#include "platform/calendar.h"

#include <cstdint>

namespace mv {

constexpr int64_t kUnitsPerMillisecond = 10'000;
constexpr int64_t kUnitsPerSecond = 10'000'000;

enum class DeviceClockMode { System, Simulated, Manual };

// System: CLOCK_REALTIME and CLOCK_MONOTONIC.
void UseSystemClock();
// Simulated: the system clock plus offsetUnits (100-ns units; may be negative).
void UseSimulatedClock(int64_t offsetUnits);
// Manual: exactly this UTC count and tick, until changed or advanced.
void UseManualClock(int64_t utcCount, uint32_t tick);
// Moves a manual clock's time and tick on together; ignored by the other modes.
void AdvanceManualClock(uint32_t milliseconds);

DeviceClockMode CurrentDeviceClockMode();
// The simulated clock's offset over the system clock; 0 in the other modes.
int64_t SimulatedClockOffset();

// The device's time now, in UTC, as a count.
bool ReadUtcCount(int64_t& count);
// The device's local time now, under the system time zone as it is at this call (a change of
// the zone or of its daylight-saving state shows at once). False leaves `time` untouched.
bool ReadLocalTime(CalendarTime& time);
// Milliseconds of a monotonic counter as an unsigned 32-bit value that wraps.
uint32_t ReadTickCount();
// Blocks for about this long; a manual clock is advanced instead, so waits take no real time.
void SleepMilliseconds(uint32_t milliseconds);

enum class SetClockResult {
    Set,
    InvalidTime, // the record is not a valid local time
    Unavailable, // this clock cannot be set from here
};
// Sets the device's local time. Simulated and manual clocks move; the system clock is left alone.
SetClockResult SetDeviceLocalTime(const CalendarTime& local);
// Moves a simulated or manual clock's time by shiftUnits (either sign). False for the system
// clock, or when the moved time would leave the scale.
bool ShiftSimulatedClock(int64_t shiftUnits);

// A calendar record to a count. Fails on a record that names no moment: month outside 1-12, a
// day the month does not have, hour > 23, minute or second > 59, milliseconds > 999, a year
// before 1601, or a moment past the end of the scale. The day of week is not read.
bool CalendarToCount(const CalendarTime& time, int64_t& count);
// A count to a calendar record, day of week included. Fails on a negative count.
bool CountToCalendar(int64_t count, CalendarTime& time);
// UTC to local time under the system time zone and its daylight-saving rule now in force.
bool UtcToLocalCount(int64_t utcCount, int64_t& localCount);
// Local time back to UTC. In the hour repeated when daylight saving ends, the C library picks
// one of the two moments; a local time skipped when it begins is moved past the gap.
bool LocalToUtcCount(int64_t localCount, int64_t& utcCount);

} // namespace mv
