#pragma once
// A calendar record: the broken-down form of a moment as the clock face and the time
// synchronisation exchange it. Local time unless a caller says otherwise.

#include <cstdint>

namespace mv {

struct CalendarTime {
    uint16_t year = 0;
    uint16_t month = 0;     // 1-12
    uint16_t dayOfWeek = 0; // 0 = Sunday
    uint16_t day = 0;       // 1-31
    uint16_t hour = 0;      // 0-23
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

} // namespace mv
