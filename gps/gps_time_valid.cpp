#include "gps/gps_time_valid.h"

namespace mv {

void OnGpsTimeValidChanged(AppState&) {
    // The "Synchronize" command and a running synchronisation follow the GPS time's usability;
    // neither exists yet.
}

} // namespace mv
