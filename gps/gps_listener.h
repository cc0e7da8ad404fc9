#pragma once
// The application's GPS listener: copies each record into AppState under gpsLock, then posts
// MSG_GPS_DATA to the main window.

#include "app/app_state.h"

#include <memory>

class QObject;

namespace mv {

// `host` receives MSG_GPS_DATA; it must outlive the reader that calls the listener.
std::unique_ptr<GpsListener> CreateApplicationListener(AppState& state, QObject* host);

} // namespace mv
