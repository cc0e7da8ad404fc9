#pragma once
// The main window: the clock face, the soft keys and their menu, the timers that drive the clock,
// full-screen mode and the commands. Its modal loop is the program's loop.

#include "app/app_state.h"
#include "app/preferences_dialog.h"
#include "app/settings.h"
#include "app/unsaved_settings.h"
#include "gps/gps_session.h"
#include "gps/sync_procedure.h"
#include "platform/close_request_filter.h"
#include "platform/screen_idle_inhibitor.h"

#include <QDialog>
#include <QFont>
#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;

namespace mv {

class ClockFaceWidget;

class MainWindow final : public QDialog {
public:
    // `settings` and `unsavedReport` outlive the window; the start-up uses them before it.
    MainWindow(AppState& state, Settings& settings, UnsavedSettingsReport& unsavedReport);
    // Stops the clock, disconnects the GPS reader and releases the back buffer and the skin.
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The set-up: soft-key bars, the "Synchronize" item, the bold font, the start-up and clock
    // timers and the first display time; then the window is brought to the front when shown.
    // False when a soft-key bar can't be made.
    bool InitMainWindow();

    // Full-screen mode on or off; the soft-key bar of the connection state comes back with
    // normal mode.
    void SetFullScreen(bool on);
    bool IsInFullScreenMode() const { return fullScreen_; }

    ClockFaceWidget* Face() const { return face_; }
    QWidget* ConnectBar() const { return connectBar_; }       // "Connect" | "Menu"
    QWidget* DisconnectBar() const { return disconnectBar_; } // "Disconnect" | "Menu"
    QLabel* SyncLabel() const { return syncLabel_; } // "Synchronizing time...", while a sync runs
    const QFont& BoldFont() const { return boldFont_; }
    // Enables the "Synchronize" item of the visible bar's menu exactly while the synchronisation
    // offers the command.
    void UpdateSyncMenuItem();

    // Runs a command of the soft keys, the menu (resources/resource_ids.h) or Done at once. The
    // keys, the menu and Escape queue theirs, so each runs from the event loop after its menu
    // has closed.
    void RunCommand(int command);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void HandleActivation(bool active);
    void RunModal(const std::function<void()>& dialog);
    // The close request: the program's other dialogs are closed first, then the window ends.
    void EndByCloseRequest();

    // The clock tick: the time to show (GPS time while usable, else the device's), a sample of
    // it for a running synchronisation, the frame, and what follows a change of usability.
    void DrawClockFrame();
    // A clock tick from the event loop, once the current event is over.
    void RequestFrame();
    void OnGpsTimeValidChanged();
    // "Connect" and "Disconnect". A failed connect shows "Could not find GPS device..."; on a
    // change the soft-key bar of the new state is shown and the "Synchronize" item updated.
    void SetGpsConnected(bool wanted);
    // "Synchronize", its samples, its time-out and its end.
    void StartSync();
    void FeedSync(UtcTime gpsUtc);
    void OnSyncTimeout();
    void ShiftClockBy(ClockTicks shift);
    void ReportSyncFailure(SyncFailure failure);
    // The "Synchronizing time..." label and the time-out follow whether a synchronisation runs.
    void ShowSyncProgress();

    AppState& state_;
    Settings& settings_;
    UnsavedSettingsReport& unsavedReport_;
    ClockFaceWidget* face_;            // owned by the window
    QLabel* syncLabel_;                // owned by the window
    QWidget* connectBar_ = nullptr;    // owned by the window
    QWidget* disconnectBar_ = nullptr; // owned by the window
    QFont boldFont_;                   // About sets the program's name in it

    bool fullScreen_ = false;
    QRect normalArea_;            // the window's geometry outside full screen, kept while in it
    bool penDown_ = false;        // a press was seen in the window since the last release
    uint32_t activationTick_ = 0; // tick count at the last activation; 0 after each tap
    int32_t keepAwakeCount_ = 0;  // clock ticks modulo 16
    // Whether a window of the program had the focus before the latest change of focus. An
    // activation coming from one of the program's own windows (a dialog that just closed) keeps
    // full-screen mode; one coming from elsewhere leaves it.
    bool programWindowWasFocused_ = false;
    // Close requests that arrive while one of the program's dialogs blocks the window.
    std::unique_ptr<BlockedCloseRequestFilter> closeFilter_;
    // Holds the screen on while "Disable auto-off" is set.
    ScreenIdleInhibitor screenInhibitor_;
    GpsSession gps_;
    SyncProcedure sync_;
};

// Makes, sets up and runs the main window until it ends. Returns -1 when the set-up failed, else
// the window's result.
int RunMainWindow(AppState& state, Settings& settings, UnsavedSettingsReport& unsavedReport);

// What an accepted Preferences dialog changed, put into effect on the face: a change of smooth
// shapes or shadow reloads the skin (saving the settings) and rebuilds the back buffer, a change
// of smooth motion restarts the clock timer.
void PutPreferencesIntoEffect(AppState& state, const PreferenceChanges& changes, QWidget* dialog);

// A step of the clock tick: while "Disable auto-off" is on, tells the desktop that the user is
// active every tick, or every 16th tick with smooth motion (every 1.6 s). `count` is the tick
// count modulo 16 that the caller keeps.
void KeepAwake(const Settings& settings, int32_t& count);

// Asks every other visible top-level window of the program to close.
void CloseSiblingWindows(const QWidget* mainWindow);

// Milliseconds from `start` to `now` on the wrapping 32-bit tick counter, as the tap rule counts
// them: one less when the counter wrapped in between.
constexpr uint32_t TicksSince(uint32_t start, uint32_t now) {
    return now >= start ? now - start : now - start - 1;
}

} // namespace mv
