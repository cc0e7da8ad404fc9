#include "gps/sync.h"

#include "gps/sync_finish.h"
#include "platform/clock_change.h"
#include "platform/device_clock.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"

#include <QWidget>
#include <limits>

namespace mv {

namespace {

constexpr int32_t kSamplesPerSync = 5;
constexpr int32_t kSyncTimeoutMs = 6000;

void EndSync(AppState& state) {
    state.samplesLeft = 0;
    StopWindowTimer(state.windowTimers, TIMER_SYNC);
    if (state.syncLabel != nullptr)
        state.syncLabel->hide();
}

// Whether the clock may be moved by `shift`: never to a time before the program was built (a
// receiver caught in a week-number rollover reports dates decades old).
bool ShiftIsPlausible(int64_t shift) {
    int64_t now = 0;
    int64_t target = 0;
    return ReadUtcCount(now) && !__builtin_add_overflow(now, shift, &target) &&
           target >= BuildTimeCount();
}

} // namespace

void StartSync(AppState& state) {
    state.samplesLeft = kSamplesPerSync;
    // The largest offset wins: each one is the true offset minus that sample's delivery delay.
    state.bestOffset = std::numeric_limits<int64_t>::min();
    if (state.syncLabel != nullptr)
        state.syncLabel->show();
    StartWindowTimer(state.windowTimers, state.mainWindow, TIMER_SYNC, kSyncTimeoutMs);
}

void TakeSyncSample(AppState& state, int64_t gpsUtc) {
    state.sampledCount = state.dataCount;
    // Compared in UTC, so a daylight-saving change between the two readings can't add an hour.
    int64_t deviceUtc = 0;
    int64_t offset = 0;
    if (!ReadUtcCount(deviceUtc) || __builtin_sub_overflow(gpsUtc, deviceUtc, &offset))
        return;
    if (offset > state.bestOffset)
        state.bestOffset = offset;
    if (state.onSyncSample)
        state.onSyncSample(offset);
    if (--state.samplesLeft == 0)
        FinishSync(state);
}

void FinishSync(AppState& state) {
    EndSync(state);
    QObject* const host = state.mainWindow;
    const int64_t shift = state.bestOffset;
    if (!ShiftIsPlausible(shift)) {
        PostWindowMessage(host, MSG_SYNC_FAILED, kSyncFailedClockNotChanged);
        return;
    }
    ShiftDeviceClock(shift, host, [host, shift](ClockChangeResult result) {
        if (result == ClockChangeResult::Changed) {
            const auto seconds = uint32_t(shift / kUnitsPerSecond); // toward zero, low 32 bits
            PostWindowMessage(host, MSG_SYNC_DONE, seconds);
        } else {
            PostWindowMessage(host, MSG_SYNC_FAILED, kSyncFailedClockNotChanged);
        }
    });
}

void CancelSync(AppState& state, bool reportFailure) {
    EndSync(state);
    if (reportFailure)
        PostWindowMessage(state.mainWindow, MSG_SYNC_FAILED);
}

void OnSyncTimeout(AppState& state) {
    CancelSync(state, true);
}

void CountGpsNotification(AppState& state) {
    ++state.dataCount;
}

QString SyncDoneText(int32_t shiftSeconds) {
    return QStringLiteral("Time synchronization was successful.\n\nSystem clock has been shifted "
                          "by %1 seconds.")
        .arg(shiftSeconds);
}

QString SyncFailedText(uintptr_t wParam) {
    if (wParam == kSyncFailedClockNotChanged)
        return QStringLiteral(
            "Time synchronization failed.\n\nThe system clock could not be changed.");
    return QStringLiteral(
        "Time synchronization failed.\n\nFix your GPS connectivity and try again.");
}

void ShowSyncFailed(QWidget* owner, uintptr_t wParam) {
    ShowMessageBox(owner, SyncFailedText(wParam), MessageIcon::Warning);
}

void ShowSyncDone(QWidget* owner, uintptr_t wParam) {
    ShowMessageBox(owner, SyncDoneText(int32_t(uint32_t(wParam))), MessageIcon::Information);
}

} // namespace mv
