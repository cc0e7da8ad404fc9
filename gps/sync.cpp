#include "gps/sync.h"

#include "gps/sync_decision.h"
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

void SetClockChangePending(AppState& state, bool pending) {
    state.clockChangePending = pending;
    if (state.syncCommandChanged)
        state.syncCommandChanged();
}

// Why the clock must not be shifted by `shift`, or 0 when it may be. Never to a time before the
// program was built (a receiver caught in a week-number rollover reports dates decades old), nor
// to one too far after it (a rollover ahead, or a garbled date).
uintptr_t Refusal(int64_t shift) {
    int64_t now = 0;
    if (!ReadUtcCount(now))
        return kSyncFailedClockNotChanged;
    switch (JudgeShift(now, shift, BuildTimeCount())) {
    case ShiftVerdict::Allowed:
        return 0;
    case ShiftVerdict::BeforeBuild:
        return kSyncFailedBeforeBuild;
    case ShiftVerdict::TooFarAhead:
        return kSyncFailedTooFarAhead;
    }
    return kSyncFailedClockNotChanged;
}

} // namespace

bool SyncCommandAvailable(const AppState& state) {
    return state.gpsTimeValid && !state.clockChangePending;
}

void StartSync(AppState& state) {
    if (state.clockChangePending)
        return;
    state.samplesLeft = kSamplesPerSync;
    state.syncOffsets.clear();
    state.bestOffset = std::numeric_limits<int64_t>::min(); // none agreed on yet
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
    state.syncOffsets.push_back(offset);
    if (state.onSyncSample)
        state.onSyncSample(offset);
    if (--state.samplesLeft == 0)
        FinishSync(state);
}

void FinishSync(AppState& state) {
    EndSync(state);
    QObject* const host = state.mainWindow;
    const std::optional<int64_t> agreed = AgreedOffset(state.syncOffsets);
    if (!agreed) {
        PostWindowMessage(host, MSG_SYNC_FAILED, kSyncFailedNoGpsTime);
        return;
    }
    // The largest agreeing offset: each one is the true offset minus that sample's delivery delay.
    const int64_t shift = *agreed;
    state.bestOffset = shift;
    if (const uintptr_t refusal = Refusal(shift); refusal != 0) {
        PostWindowMessage(host, MSG_SYNC_FAILED, refusal);
        return;
    }
    SetClockChangePending(state, true);
    // The state outlives the host, and the answer is dropped if the host goes first.
    ShiftDeviceClock(shift, host, [&state, host, shift](ClockChangeResult result) {
        SetClockChangePending(state, false);
        if (result == ClockChangeResult::Changed)
            PostWindowMessage(host, MSG_SYNC_DONE, uintptr_t(shift / kUnitsPerSecond)); // toward 0
        else
            PostWindowMessage(host, MSG_SYNC_FAILED, kSyncFailedClockNotChanged);
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

QString SyncDoneText(int64_t shiftSeconds) {
    return QStringLiteral("Time synchronization was successful.\n\nSystem clock has been shifted "
                          "by %1 seconds.")
        .arg(shiftSeconds);
}

QString SyncFailedText(uintptr_t wParam) {
    if (wParam != kSyncFailedNoGpsTime)
        return QStringLiteral(
            "Time synchronization failed.\n\nThe system clock could not be changed.");
    return QStringLiteral(
        "Time synchronization failed.\n\nFix your GPS connectivity and try again.");
}

void ShowSyncFailed(QWidget* owner, uintptr_t wParam) {
    ShowMessageBox(owner, SyncFailedText(wParam), MessageIcon::Warning);
}

void ShowSyncDone(QWidget* owner, uintptr_t wParam) {
    ShowMessageBox(owner, SyncDoneText(int64_t(wParam)), MessageIcon::Information);
}

} // namespace mv
