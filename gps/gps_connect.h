#pragma once
// Connecting the program to the GPS reader: the "Connect" and "Disconnect" soft keys.

#include "app/app_state.h"

class QWidget;

namespace mv {

// Clears the record copies and gpsTimeValid, makes the application's listener and the reader,
// and opens it. True when the reader is open.
bool ConnectGps(AppState& state);

// Switches the connection to `wanted`. A failed connect shows "Could not find GPS device..."
// owned by `owner`; a disconnect stops the worker and posts MSG_REFRESH. On a change the soft-key
// bar of the new state is shown and the "Synchronize" item updated.
void SetGpsConnected(AppState& state, QWidget* owner, bool wanted);

} // namespace mv
