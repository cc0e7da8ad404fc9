// marovellastrine-nmea-feeder: a simulated GPS receiver that gpsd reads over loopback TCP
// (gpsd -N -n -S GPSDPORT tcp://127.0.0.1:FEEDPORT). See feeder_loop.h for the commands.

#include "feeder_loop.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

using mv::feeder::FeederOptions;

constexpr uint32_t kLongestDelayMilliseconds = 60'000;

constexpr std::string_view kUsage =
    "usage: marovellastrine-nmea-feeder [--port N] [--fix none|2d|3d|dgps] [--offset-ms N]\n"
    "                                   [--delay-ms MS | --delay-ms MIN:MAX] [--seed N]\n"
    "                                   [--stopped]\n";

template <typename Integer>
bool ParseInteger(std::string_view text, Integer& value) {
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && last == end;
}

bool ParseDelay(std::string_view text, FeederOptions& options) {
    const size_t colon = text.find(':');
    const std::string_view low = text.substr(0, colon);
    const std::string_view high = colon == std::string_view::npos ? low : text.substr(colon + 1);
    return ParseInteger(low, options.minDelayMilliseconds) &&
           ParseInteger(high, options.maxDelayMilliseconds) &&
           options.minDelayMilliseconds <= options.maxDelayMilliseconds &&
           options.maxDelayMilliseconds <= kLongestDelayMilliseconds;
}

std::optional<FeederOptions> ParseArguments(int argc, char** argv) {
    FeederOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--stopped") {
            options.sending = false;
            continue;
        }
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string_view value = argv[++i];
        bool valid = false;
        if (name == "--port") {
            valid = ParseInteger(value, options.port);
        } else if (name == "--fix") {
            const auto fix = mv::feeder::ParseFixKind(value);
            valid = fix.has_value();
            options.fix = fix.value_or(options.fix);
        } else if (name == "--offset-ms") {
            valid = ParseInteger(value, options.offsetMilliseconds);
        } else if (name == "--delay-ms") {
            valid = ParseDelay(value, options);
        } else if (name == "--seed") {
            valid = ParseInteger(value, options.seed);
        }
        if (!valid)
            return std::nullopt;
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<FeederOptions> options = ParseArguments(argc, argv);
    if (!options) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    return mv::feeder::RunFeeder(*options);
}
