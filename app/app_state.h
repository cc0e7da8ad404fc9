#pragma once
// The one application record. Every long-lived resource of the program hangs here and is
// released by the code that made it.

#include "app/settings.h"
#include "clock/face_renderer.h"
#include "gps/gps_reader.h"
#include "platform/geometry.h"
#include "platform/gps_records.h"
#include "platform/window_timers.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace mv {

struct AppState {
    Settings settings;
    FaceRenderer face; // the skin, the back buffer and everything the frames draw with

    QObject* mainWindow = nullptr; // not owned; receives the timers and the private messages
    WindowTimers windowTimers;

    // The main window's shell state. The bars and the label belong to the window (Qt children).
    std::optional<QFont> boldFont;    // made by the main window, used by About
    QWidget* connectBar = nullptr;    // "Connect" | "Menu"
    QWidget* disconnectBar = nullptr; // "Disconnect" | "Menu"
    QWidget* syncLabel = nullptr;     // "Synchronizing time...", shown while a sync runs
    bool fullScreen = false;
    QRect normalArea;            // the main window's geometry outside full screen, kept while in it
    bool penDown = false;        // a press was seen in the main window since the last release
    uint32_t activationTick = 0; // tick count at the last activation; 0 after each tap
    int32_t keepAwakeCount = 0;  // clock ticks modulo 16

    bool unsavedSettingsReported = false; // the user was told that the settings weren't saved

    // GPS: the reader's state and the copies of the driver's last records. The worker thread
    // writes the copies under gpsLock; everything else belongs to the main thread.
    bool gpsConnected = false;
    std::mutex gpsLock;
    GPS_DEVICE gpsDevice{};
    GPS_POSITION gpsPosition{};
    uint32_t gpsPositionTick = 0;             // ReadTickCount() when gpsPosition was copied
    std::unique_ptr<GpsListener> gpsListener; // the application's listener while connected
    std::unique_ptr<GpsReader> gpsReader;     // the open reader while connected

    // The synchronisation procedure (main thread only).
    bool gpsTimeValid = false;        // the face shows GPS time
    int32_t samplesLeft = 0;          // 0: no synchronisation runs
    int64_t bestOffset = 0;           // the offset the last synchronisation's samples agreed on
    std::vector<int64_t> syncOffsets; // the samples of the running synchronisation
    uint32_t dataCount = 0;           // MSG_GPS_DATA notifications seen; wraps
    uint32_t sampledCount = 0;        // dataCount when the last sample was taken
    // Told each sample's offset (100-ns units) as it is taken, before the last one finishes the
    // synchronisation; empty in the program, the headless sync tool prints them.
    std::function<void(int64_t offset)> onSyncSample;
    // A clock change was asked for and has not answered yet; no other may start meanwhile.
    bool clockChangePending = false;
    // Called when a clock change starts or answers, so "Synchronize" can follow
    // SyncCommandAvailable (gps/sync.h); set by whoever shows the command.
    std::function<void()> syncCommandChanged;
};

} // namespace mv
