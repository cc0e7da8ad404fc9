#include "tools/sync/sync_text.h"

#include <cstdio>

namespace mv::sync_tool {

namespace {

std::string FormatFixed(int64_t units, uint64_t unitsPerStep, int decimals) {
    // The magnitude as unsigned, so the most negative count has one too.
    const uint64_t magnitude = units < 0 ? 0 - uint64_t(units) : uint64_t(units);
    const uint64_t steps = (magnitude + unitsPerStep / 2) / unitsPerStep;
    uint64_t stepsPerSecond = 1;
    for (int i = 0; i < decimals; ++i)
        stepsPerSecond *= 10;
    char text[48];
    std::snprintf(text, sizeof text, "%c%llu.%0*llu", units < 0 ? '-' : '+',
                  static_cast<unsigned long long>(steps / stepsPerSecond), decimals,
                  static_cast<unsigned long long>(steps % stepsPerSecond));
    return text;
}

} // namespace

std::string FormatTicks(ClockTicks span) {
    return FormatFixed(span.count(), 1, 7);
}

std::string FormatMilliseconds(ClockTicks span) {
    return FormatFixed(span.count(), uint64_t(ClockTicks(std::chrono::milliseconds(1)).count()), 3);
}

} // namespace mv::sync_tool
