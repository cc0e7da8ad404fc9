#include "gps/gps_time.h"

#include "gps/sync_finish.h"
#include "platform/device_clock.h"

namespace mv {

namespace {

// GPS time is usable from a connected receiver whose service and device are on and whose last
// position has a fix. Nothing else is consulted: not the satellites, the dilution or the position.
bool GpsTimeUsable(const AppState& state) {
    return state.gpsConnected && state.gpsDevice.dwServiceState == kGpsStateOn &&
           state.gpsDevice.dwDeviceState == kGpsStateOn &&
           state.gpsPosition.FixQuality != kGpsFixQualityUnknown &&
           state.gpsPosition.FixType != kGpsFixTypeUnknown;
}

} // namespace

void PollGpsTime(AppState& state, CalendarTime& displayTime) {
    displayTime = CalendarTime{};
    const std::lock_guard lock(state.gpsLock);
    if (!GpsTimeUsable(state)) {
        state.gpsTimeValid = false;
        if (!ReadLocalTime(displayTime))
            displayTime = CalendarTime{};
        return;
    }
    state.gpsTimeValid = true;
    // A fix time that doesn't convert leaves the display time all zeros (the face shows 12:00).
    int64_t gpsUtc = 0;
    int64_t gpsLocal = 0;
    if (!CalendarToCount(state.gpsPosition.stUTCTime, gpsUtc) || !UtcToLocalCount(gpsUtc, gpsLocal))
        return;
    CountToCalendar(gpsLocal, displayTime);
    // At most one sample per notification, of whatever record is held now.
    if (state.samplesLeft != 0 && state.dataCount != state.sampledCount)
        TakeSyncSample(state, gpsUtc);
}

} // namespace mv
