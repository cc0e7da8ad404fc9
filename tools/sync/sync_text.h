#pragma once
// The tool's numbers as it prints them: signed seconds with a fixed number of decimals.

#include "platform/utc_time.h"

#include <cstdint>
#include <string>

namespace mv::sync_tool {

// A span of clock ticks as "+S.SSSSSSS" (every digit kept).
std::string FormatTicks(ClockTicks span);
// A span of clock ticks as "+S.SSS", rounded to the nearest millisecond.
std::string FormatMilliseconds(ClockTicks span);

} // namespace mv::sync_tool
