#pragma once
// The angles at which the hour, minute and second hands show a time.

#include "platform/calendar.h"

namespace mv {

// Radians, clockwise from the 12 o'clock position.
struct HandAngles {
    double hour = 0.0;
    double minute = 0.0;
    double second = 0.0;
};

// smoothMotion lets the second hand move with the milliseconds; halfDegree steps the minute hand
// every 5 s and the hour hand every minute by 0.5 degrees, instead of 1 degree every 10 s and
// every 2 minutes. Only the hour, minute, second and milliseconds fields are read.
HandAngles ComputeHandAngles(const CalendarTime& time, bool smoothMotion, bool halfDegree);

} // namespace mv
