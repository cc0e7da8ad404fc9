#pragma once
// Reading gpsd's reports into the GPS driver's records (the driver thread's side).

#include "platform/gps_records.h"

#include <gps.h>
#include <string>
#include <string_view>

namespace mv {

enum class GpsdReportClass { Position, DeviceList, Device, Other };

// The class of the report whose text (or its start) is `message`.
GpsdReportClass ClassifyGpsdReport(std::string_view message);

// The position record of the TPV report just read into `data`: the fix time when the report
// has one, FixType 1 for a 2-D and 2 for a 3-D fix, FixQuality 2 for a differential fix and 1
// for another, both 0 without a fix; latitude and longitude with a fix.
GPS_POSITION PositionFromReport(const gps_data_t& data);

// Whether the DEVICES report just read into `data` lists an active device; `path` receives the
// first one's path.
bool ListsActiveDevice(const gps_data_t& data, std::string& path);

// A UTC moment to a 100-ns count on the file-time scale; false before 1601.
bool FileTimeCount(const timespec& moment, int64_t& count);

} // namespace mv
