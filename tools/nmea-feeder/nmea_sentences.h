#pragma once
// The NMEA 0183 sentences of one reporting cycle of a simulated receiver.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mv::feeder {

enum class FixKind { None, TwoD, ThreeD, Differential };

std::optional<FixKind> ParseFixKind(std::string_view name);

// "$" + body + "*" + checksum (XOR of the body's bytes, two upper-case hex digits) + CR LF.
std::string NmeaSentence(std::string_view body);

// $GPRMC, $GPGGA and $GPGSA for the UTC second `unixSecond` (seconds since 1970-01-01).
// No fix: RMC void, GGA quality 0, GSA mode 1. 2-D: no altitude, GSA mode 2. 3-D: altitude,
// GSA mode 3. Differential: as 3-D with GGA quality 2 and RMC mode indicator D.
std::string CycleSentences(int64_t unixSecond, FixKind fix);

} // namespace mv::feeder
