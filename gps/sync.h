#pragma once
// The clock synchronisation procedure: five samples of GPS local time minus device local time,
// then the device clock shifted by the best one, within a 6000 ms time-out.

#include "app/app_state.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace mv {

// Whether "Synchronize" is offered: GPS time is usable and no clock change awaits its answer.
bool SyncCommandAvailable(const AppState& state);
// The "Synchronize" command. Does nothing while a clock change awaits its answer, so two shifts
// measured from the same uncorrected clock can never stack.
void StartSync(AppState& state);
// Ends a running synchronisation without touching the clock; posts MSG_SYNC_FAILED when asked.
void CancelSync(AppState& state, bool reportFailure);
// TIMER_SYNC fired.
void OnSyncTimeout(AppState& state);
// MSG_GPS_DATA arrived (before its frame is drawn).
void CountGpsNotification(AppState& state);

// wParam of MSG_SYNC_FAILED: why the synchronisation failed.
// Too few samples, too few that agree, or GPS time lost while sampling.
constexpr uintptr_t kSyncFailedNoGpsTime = 0;
// The clock refused the change.
constexpr uintptr_t kSyncFailedClockNotChanged = 1;
// The agreed time is one the clock must not be set to: before the build, or too far after it.
constexpr uintptr_t kSyncFailedBeforeBuild = 2;
constexpr uintptr_t kSyncFailedTooFarAhead = 3;

// wParam of MSG_SYNC_DONE: the shift in whole seconds (toward zero), all 64 bits of it.
static_assert(sizeof(uintptr_t) >= sizeof(int64_t));

// The texts of the closing messages, shared by the window and the headless tool. Every failure
// other than kSyncFailedNoGpsTime reads as the clock not being changed.
QString SyncDoneText(int64_t shiftSeconds);
QString SyncFailedText(uintptr_t wParam);

// MSG_SYNC_FAILED and MSG_SYNC_DONE: the message boxes, owned by `owner`.
void ShowSyncFailed(QWidget* owner, uintptr_t wParam);
void ShowSyncDone(QWidget* owner, uintptr_t wParam);

} // namespace mv
