#include "gps/gps_time_valid.h"

#include "app/main_window.h"
#include "gps/sync.h"

namespace mv {

void OnGpsTimeValidChanged(AppState& state) {
    UpdateSyncMenuItem(state);
    if (state.gpsTimeValid)
        return;
    // With the reader still connected the loss is a failure; after a Disconnect the
    // synchronisation ends silently.
    CancelSync(state, state.samplesLeft != 0 && state.gpsConnected);
}

} // namespace mv
