#pragma once
// How the driver thread hands its results to the driver's records. Each call names the open
// device it belongs to (its generation); once that device is closed, the calls change nothing
// and signal no one, so a thread that outlives its device is harmless.

#include "platform/gps_records.h"

#include <cstdint>
#include <string_view>

namespace mv {

struct GpsDeviceView {
    bool serviceOn = false; // gpsd is reached
    bool deviceOn = false;  // gpsd reports an active device
    std::string_view devicePath;
};

// Replaces the position record, notes when it came and signals the location event.
void PublishGpsPosition(uint64_t generation, const GPS_POSITION& position);
// Replaces the service and device states of the device record and signals the state event.
void PublishGpsDeviceState(uint64_t generation, const GpsDeviceView& view);

} // namespace mv
