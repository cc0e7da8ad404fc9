#pragma once
// The platform's GPS settings page: where gpsd is reached (host and port, kept in the platform
// store) and, live, what gpsd reports now (connection, devices, fix, time).

class QWidget;

namespace mv {

// Opens the page without waiting for it (a second call raises the open page); the caller keeps
// running. Failures are ignored.
void OpenGpsSettingsPage(QWidget* owner);

} // namespace mv
