#pragma once
// What follows a change of whether the GPS time is usable.

#include "app/app_state.h"

namespace mv {

// Called at the end of a frame whose gpsTimeValid differs from the value the back buffer had
// last been drawn with.
void OnGpsTimeValidChanged(AppState& state);

} // namespace mv
