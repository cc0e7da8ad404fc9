#include "gps/gps_time.h"

#include "gps/sync_finish.h"
#include "platform/device_clock.h"

namespace mv {

namespace {

// The receiver is connected, its service and device are on and its last position has a fix.
// Nothing else about the fix is consulted: not the satellites, the dilution or the position.
bool ReceiverHasFix(const AppState& state) {
    return state.gpsConnected && state.gpsDevice.dwServiceState == kGpsStateOn &&
           state.gpsDevice.dwDeviceState == kGpsStateOn &&
           state.gpsPosition.FixQuality != kGpsFixQualityUnknown &&
           state.gpsPosition.FixType != kGpsFixTypeUnknown;
}

// The fix time in UTC, when the position carries one that is still current: a receiver that
// falls silent leaves its last position in place, and a report without a time must not be
// shown as midnight.
bool CurrentFixTime(const AppState& state, int64_t& gpsUtc) {
    const uint32_t age = ReadTickCount() - state.gpsPositionTick; // wraps harmlessly
    return (state.gpsPosition.dwValidFields & kGpsValidUtcTime) != 0 &&
           age <= kMaximumPositionAgeMs && CalendarToCount(state.gpsPosition.stUTCTime, gpsUtc);
}

} // namespace

void PollGpsTime(AppState& state, CalendarTime& displayTime) {
    displayTime = CalendarTime{};
    const std::lock_guard lock(state.gpsLock);
    int64_t gpsUtc = 0;
    int64_t gpsLocal = 0;
    state.gpsTimeValid = ReceiverHasFix(state) && CurrentFixTime(state, gpsUtc) &&
                         UtcToLocalCount(gpsUtc, gpsLocal) &&
                         CountToCalendar(gpsLocal, displayTime);
    if (!state.gpsTimeValid) {
        if (!ReadLocalTime(displayTime))
            displayTime = CalendarTime{};
        return;
    }
    // At most one sample per notification, of the position held now.
    if (state.samplesLeft != 0 && state.dataCount != state.sampledCount)
        TakeSyncSample(state, gpsUtc);
}

} // namespace mv
