#pragma once
// The closing messages of a synchronisation, shared by the window and the headless tool.

#include "gps/sync_procedure.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace mv {

QString SyncDoneText(int64_t shiftSeconds);
// Every failure other than SyncFailure::NoGpsTime reads as the clock not being changed.
QString SyncFailedText(SyncFailure failure);

// The message boxes, owned by `owner`.
void ShowSyncDone(QWidget* owner, int64_t shiftSeconds);
void ShowSyncFailed(QWidget* owner, SyncFailure failure);

} // namespace mv
