#include "tools/sync/sync_options.h"

#include <charconv>
#include <cmath>

namespace mv::sync_tool {

namespace {

constexpr int32_t kLongestWaitSeconds = 24 * 3600;
// About 300 years either way: far enough for any clock, and the count can't overflow.
constexpr double kLargestSimulatedSeconds = 1e10;

template <typename Integer>
bool ParseInteger(std::string_view text, Integer& value) {
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && last == end;
}

// Decimal seconds such as "5.7", "-3" or "+0.25" to clock ticks.
bool ParseSeconds(std::string_view text, ClockTicks& span) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double seconds = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, seconds, std::chars_format::fixed);
    if (error != std::errc() || last != end || !std::isfinite(seconds) ||
        std::fabs(seconds) > kLargestSimulatedSeconds)
        return false;
    span = std::chrono::round<ClockTicks>(std::chrono::duration<double>(seconds));
    return true;
}

// The field of an option that takes no value, or null for any other argument.
bool* FlagNamed(SyncOptions& options, std::string_view name) {
    if (name == "--query")
        return &options.query;
    if (name == "--help")
        return &options.help;
    if (name == "--version")
        return &options.version;
    return nullptr;
}

ParsedOptions Problem(std::string problem) {
    return {std::nullopt, std::move(problem)};
}

} // namespace

ParsedOptions ParseSyncOptions(std::span<const std::string_view> arguments) {
    SyncOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (bool* flag = FlagNamed(options, name)) {
            *flag = true;
            continue;
        }
        if (name != "--wait" && name != "--host" && name != "--port" && name != "--simulate-offset")
            return Problem("unknown argument \"" + std::string(name) + "\"");
        if (i + 1 >= arguments.size())
            return Problem(std::string(name) + " needs a value");
        const std::string_view value = arguments[++i];
        if (name == "--wait") {
            if (!ParseInteger(value, options.waitSeconds) || options.waitSeconds < 0 ||
                options.waitSeconds > kLongestWaitSeconds)
                return Problem("--wait takes whole seconds from 0 to 86400");
        } else if (name == "--host") {
            if (value.empty())
                return Problem("--host needs a host name or address");
            options.host = value;
        } else if (name == "--port") {
            uint16_t port = 0;
            if (!ParseInteger(value, port) || port == 0)
                return Problem("--port takes a port number from 1 to 65535");
            options.port = port;
        } else {
            ClockTicks span{};
            if (!ParseSeconds(value, span))
                return Problem("--simulate-offset takes seconds, such as 5.7 or -2");
            options.simulatedOffset = span;
        }
    }
    return {options, {}};
}

} // namespace mv::sync_tool
