#pragma once
// The sync tool's command line:
//   marovellastrine-sync [--query] [--wait SECONDS] [--host H] [--port P]
//                        [--simulate-offset SECONDS]

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mv::sync_tool {

constexpr std::string_view kUsage =
    "usage: marovellastrine-sync [--query] [--wait SECONDS] [--host H] [--port P]\n"
    "                            [--simulate-offset SECONDS]\n";

struct SyncOptions {
    bool query = false;       // measure and print the best offset; set nothing
    int32_t waitSeconds = 30; // how long to wait for usable GPS time before starting
    std::string host;         // empty: the stored host
    std::optional<uint16_t> port;
    std::optional<int64_t> simulatedOffset; // 100-ns units the simulated clock runs ahead
};

struct ParsedOptions {
    std::optional<SyncOptions> options; // none: a usage error, described by `problem`
    std::string problem;
};

// Parses the arguments after the program's name.
ParsedOptions ParseSyncOptions(std::span<const std::string_view> arguments);

} // namespace mv::sync_tool
