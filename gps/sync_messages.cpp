#include "gps/sync_messages.h"

#include "platform/message_box.h"

namespace mv {

QString SyncDoneText(int64_t shiftSeconds) {
    return QStringLiteral("Time synchronization was successful.\n\nSystem clock has been shifted "
                          "by %1 seconds.")
        .arg(shiftSeconds);
}

QString SyncFailedText(SyncFailure failure) {
    if (failure != SyncFailure::NoGpsTime)
        return QStringLiteral(
            "Time synchronization failed.\n\nThe system clock could not be changed.");
    return QStringLiteral(
        "Time synchronization failed.\n\nFix your GPS connectivity and try again.");
}

void ShowSyncDone(QWidget* owner, int64_t shiftSeconds) {
    ShowMessageBox(owner, SyncDoneText(shiftSeconds), MessageIcon::Information);
}

void ShowSyncFailed(QWidget* owner, SyncFailure failure) {
    ShowMessageBox(owner, SyncFailedText(failure), MessageIcon::Warning);
}

} // namespace mv
