#pragma once
// Which time the face shows: the GPS time in local time while it is usable, otherwise the
// device's local time.

#include "app/app_state.h"
#include "platform/calendar.h"

namespace mv {

// Writes gpsTimeValid and leaves the time to show in displayTime (all zeros when even that
// cannot be read). GPS time is usable only from a position with a fix that carries its time and
// arrived at most kMaximumPositionAgeMs ago, so a silent receiver gives way to the device time.
void PollGpsTime(AppState& state, CalendarTime& displayTime);

} // namespace mv
