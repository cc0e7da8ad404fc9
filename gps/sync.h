#pragma once
// The clock synchronisation procedure: five samples of GPS local time minus device local time,
// then the device clock shifted by the best one, within a 6000 ms time-out.

#include "app/app_state.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace mv {

// The "Synchronize" command.
void StartSync(AppState& state);
// Ends a running synchronisation without touching the clock; posts MSG_SYNC_FAILED when asked.
void CancelSync(AppState& state, bool reportFailure);
// TIMER_SYNC fired.
void OnSyncTimeout(AppState& state);
// MSG_GPS_DATA arrived (before its frame is drawn).
void CountGpsNotification(AppState& state);

// wParam of MSG_SYNC_FAILED: 0 when too few samples came, this when the clock was not changed.
constexpr uintptr_t kSyncFailedClockNotChanged = 1;

// The texts of the closing messages, shared by the window and the headless tool.
QString SyncDoneText(int32_t shiftSeconds);
QString SyncFailedText(uintptr_t wParam);

// MSG_SYNC_FAILED and MSG_SYNC_DONE: the message boxes, owned by `owner`.
void ShowSyncFailed(QWidget* owner, uintptr_t wParam);
void ShowSyncDone(QWidget* owner, uintptr_t wParam);

} // namespace mv
