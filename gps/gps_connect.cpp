#include "gps/gps_connect.h"

#include "app/main_window.h"
#include "gps/gps_listener.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"

#include <QWidget>

namespace mv {

namespace {

void ShowConnectionBar(AppState& state) {
    if (state.connectBar != nullptr)
        state.connectBar->setVisible(!state.gpsConnected);
    if (state.disconnectBar != nullptr)
        state.disconnectBar->setVisible(state.gpsConnected);
}

void DisconnectGps(AppState& state) {
    if (state.gpsReader != nullptr && state.gpsReader->Close() == kReaderWorkerStillRunning) {
        // The worker that did not stop in time still calls the listener; it must outlive it.
        (void)state.gpsListener.release();
    }
    state.gpsReader.reset();
    state.gpsListener.reset();
    PostWindowMessage(state.mainWindow, MSG_REFRESH);
}

} // namespace

bool ConnectGps(AppState& state) {
    {
        const std::lock_guard lock(state.gpsLock);
        state.gpsDevice = GPS_DEVICE{};
        state.gpsPosition = GPS_POSITION{};
    }
    state.gpsTimeValid = false;
    state.gpsListener = CreateApplicationListener(state, state.mainWindow);
    state.gpsReader = std::make_unique<GpsReader>();
    if (state.gpsReader->Open(state.gpsListener.get()) < 0) {
        state.gpsReader.reset();
        state.gpsListener.reset();
        return false;
    }
    return true;
}

void SetGpsConnected(AppState& state, QWidget* owner, bool wanted) {
    if (wanted == state.gpsConnected)
        return;
    bool connected = false;
    if (wanted) {
        connected = ConnectGps(state);
        if (!connected) {
            ShowMessageBox(
                owner,
                QStringLiteral(
                    "Could not find GPS device.\n\nPlease verify your system GPS settings."),
                MessageIcon::Error);
        }
    } else {
        DisconnectGps(state);
    }
    if (connected == state.gpsConnected)
        return;
    state.gpsConnected = connected;
    ShowConnectionBar(state);
    UpdateSyncMenuItem(state);
}

} // namespace mv
