#pragma once
// The sync tool's command line:
//   marovellastrine-sync [--help] [--version] [--query] [--wait SECONDS] [--host H] [--port P]
//                        [--simulate-offset SECONDS]

#include "platform/utc_time.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mv::sync_tool {

constexpr std::string_view kUsage =
    "usage: marovellastrine-sync [--help] [--version] [--query] [--wait SECONDS] [--host H]\n"
    "                            [--port P] [--simulate-offset SECONDS]\n";

constexpr std::string_view kHelp =
    "Sets the system clock from GPS time read through gpsd.\n"
    "\n"
    "  --query           measure and print the offset; change no clock\n"
    "  --wait SECONDS    how long to keep trying (default 30): an attempt that loses GPS time\n"
    "                    or whose five samples don't agree is started again until then\n"
    "  --host H, --port P  where gpsd runs (default: the program's GPS settings)\n"
    "  --simulate-offset SECONDS  use a simulated clock that far off the system clock\n"
    "  --help            print this help\n"
    "  --version         print the version\n"
    "\n"
    "Exit status: 0 done, 1 synchronisation failed (or, with --query, the offset would be\n"
    "refused), 2 no GPS device, 3 the clock could not or must not be changed, 64 usage.\n";

struct SyncOptions {
    bool help = false;        // print kUsage and kHelp, do nothing else
    bool version = false;     // print the version, do nothing else
    bool query = false;       // measure and print the best offset; set nothing
    int32_t waitSeconds = 30; // how long attempts may start again for want of GPS time
    std::string host;         // empty: the stored host
    std::optional<uint16_t> port;
    std::optional<ClockTicks> simulatedOffset; // how far the simulated clock runs ahead
};

struct ParsedOptions {
    std::optional<SyncOptions> options; // none: a usage error, described by `problem`
    std::string problem;
};

// Parses the arguments after the program's name.
ParsedOptions ParseSyncOptions(std::span<const std::string_view> arguments);

} // namespace mv::sync_tool
