#pragma once
// The steps of the synchronisation procedure that the GPS time evaluation takes under gpsLock.

#include "app/app_state.h"

#include <cstdint>

namespace mv {

// One sample: gpsUtc is the fix time of the record held now. Takes the fifth sample's FinishSync.
void TakeSyncSample(AppState& state, int64_t gpsUtc);
// Shifts the device clock by bestOffset and posts MSG_SYNC_DONE, or MSG_SYNC_FAILED when the
// clock could not be (or must not be) changed.
void FinishSync(AppState& state);

// The earliest moment the device clock may be set to: when this program was built (UTC count).
int64_t BuildTimeCount();

} // namespace mv
