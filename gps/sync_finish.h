#pragma once
// The steps of the synchronisation procedure that the GPS time evaluation takes under gpsLock.

#include "app/app_state.h"

#include <cstdint>

namespace mv {

// One sample: gpsUtc is the fix time of the record held now. Takes the fifth sample's FinishSync.
void TakeSyncSample(AppState& state, int64_t gpsUtc);
// Takes the offset the samples agree on as bestOffset, shifts the device clock by it and posts
// MSG_SYNC_DONE; MSG_SYNC_FAILED when the samples don't agree or the clock could not (or must
// not) be changed.
void FinishSync(AppState& state);

// The earliest moment the device clock may be set to: when this program was built (UTC count).
int64_t BuildTimeCount();

} // namespace mv
