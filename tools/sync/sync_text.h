#pragma once
// The tool's numbers as it prints them: signed seconds with a fixed number of decimals.

#include <cstdint>
#include <string>

namespace mv::sync_tool {

// A count of 100-ns units as "+S.SSSSSSS" (every digit kept).
std::string FormatUnits(int64_t units);
// A count of 100-ns units as "+S.SSS", rounded to the nearest millisecond.
std::string FormatMilliseconds(int64_t units);

} // namespace mv::sync_tool
