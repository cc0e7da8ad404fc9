#pragma once
// The GPS intermediate driver: the platform's own driver over gpsd. Opening connects to gpsd
// (where the GPS settings page says it runs), asks it to stream its reports and starts a driver
// thread that reads them:
// - each position report (TPV) renews the position record and signals the location event;
// - a change of the connection to gpsd, or of the devices gpsd reports, renews the device record
//   and signals the state event (dwServiceState 1 while gpsd is reached, dwDeviceState 1 while
//   gpsd reports an active device);
// - a lost connection is reported through the device record (both states 0) and retried every
//   second until gpsd answers again.
// One device is open per process at a time. All functions may be called from any thread.

#include "platform/event.h"
#include "platform/gps_records.h"

#include <cstdint>

namespace mv {

enum class GpsDeviceHandle : uint64_t { None = 0 };

// Results and last errors. 0 is success; the failures keep the platform's error numbers.
enum GpsStatus : uint32_t {
    kGpsOk = 0,
    kGpsErrorNotFound = 2,          // gpsd can't be reached (refused, unknown host, no answer)
    kGpsErrorInvalidHandle = 6,     // not the handle of the open device
    kGpsErrorNotEnoughMemory = 8,   // the driver thread could not be started
    kGpsErrorInvalidParameter = 87, // a null record, or one of another dwVersion or dwSize
    kGpsErrorBusy = 170,            // a device is open already
};

// Opens the device. The events (either may be null) must outlive the open device; they are
// signalled from the driver thread. The device name and the flags are not used. Returns
// GpsDeviceHandle::None on failure, with GpsLastError() saying why.
GpsDeviceHandle GPSOpenDevice(Event* locationEvent, Event* stateEvent, const char16_t* deviceName,
                              uint32_t flags);

// Copies the last position into `position`, whose dwVersion (kGpsPositionVersion) and dwSize
// (sizeof(GPS_POSITION)) the caller sets. Before the first position report the record is all
// zeros. A position older than `maximumAgeMilliseconds` is still copied, but marked as stale:
// dwValidFields 0 and FixQuality and FixType 0 (unknown), as nothing in it is current any more.
// `flags` is not used.
uint32_t GPSGetPosition(GpsDeviceHandle device, GPS_POSITION* position,
                        uint32_t maximumAgeMilliseconds, uint32_t flags);

// Copies the state of the open device (service and device state 0 when none is open) into
// `device`, whose dwVersion (kGpsDeviceVersion) and dwSize (sizeof(GPS_DEVICE)) the caller sets.
uint32_t GPSGetDeviceState(GPS_DEVICE* device);

// GPSGetPosition and GPSGetDeviceState as the plain records of gps_records.h.
uint32_t GpsReadFix(GpsDeviceHandle device, uint32_t maximumAgeMilliseconds, GpsFix& fix);
uint32_t GpsReadReceiverState(GpsReceiverState& state);

// Stops the driver thread and closes the connection. The events are never signalled after this
// returns. A driver thread stuck in a slow connection attempt is left to end on its own.
uint32_t GPSCloseDevice(GpsDeviceHandle device);

// The reason for the calling thread's last failed driver call.
uint32_t GpsLastError();

} // namespace mv
