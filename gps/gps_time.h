#pragma once
// Which time the face shows: the GPS time in local time while it is usable, otherwise the
// device's local time.

#include "app/app_state.h"
#include "platform/calendar.h"

namespace mv {

// Writes gpsTimeValid and leaves the time to show in displayTime (all zeros when even that
// cannot be read).
void PollGpsTime(AppState& state, CalendarTime& displayTime);

} // namespace mv
