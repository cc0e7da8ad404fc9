#include "platform/gps_driver_report.h"

#include "platform/device_clock.h"
#include "platform/gps_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace mv {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr int64_t kNanosecondsPerUnit = 100;

} // namespace

GpsdReportClass ClassifyGpsdReport(std::string_view message) {
    // gpsd writes the class first in every report.
    if (message.starts_with(R"({"class":"TPV")"))
        return GpsdReportClass::Position;
    if (message.starts_with(R"({"class":"DEVICES")"))
        return GpsdReportClass::DeviceList;
    if (message.starts_with(R"({"class":"DEVICE")"))
        return GpsdReportClass::Device;
    return GpsdReportClass::Other;
}

bool FileTimeCount(const timespec& moment, int64_t& count) {
    const int64_t seconds = int64_t(moment.tv_sec) + kSecondsFrom1601To1970;
    if (seconds < 0 || moment.tv_nsec < 0 || seconds > INT64_MAX / kUnitsPerSecond - 1)
        return false;
    count = seconds * kUnitsPerSecond + moment.tv_nsec / kNanosecondsPerUnit;
    return true;
}

GPS_POSITION PositionFromReport(const gps_data_t& data) {
    GPS_POSITION position{};
    position.dwVersion = kGpsPositionVersion;
    position.dwSize = sizeof(GPS_POSITION);
    const gps_fix_t& fix = data.fix;
    const bool hasFix = fix.mode == MODE_2D || fix.mode == MODE_3D;
    position.FixType = fix.mode == MODE_2D   ? kGpsFixType2D
                       : fix.mode == MODE_3D ? kGpsFixType3D
                                             : kGpsFixTypeUnknown;
    // libgps leaves the status at 0 when gpsd omits it, which gpsd does for a plain fix.
    position.FixQuality = !hasFix                         ? kGpsFixQualityUnknown
                          : fix.status == STATUS_DGPS_FIX ? kGpsFixQualityDifferential
                                                          : kGpsFixQualityGps;
    int64_t count = 0;
    if ((data.set & TIME_SET) != 0 && FileTimeCount(fix.time, count) &&
        CountToCalendar(count, position.stUTCTime))
        position.dwValidFields |= kGpsValidUtcTime;
    if (hasFix && (data.set & LATLON_SET) != 0 && std::isfinite(fix.latitude) &&
        std::isfinite(fix.longitude)) {
        position.latitude = fix.latitude;
        position.longitude = fix.longitude;
        position.dwValidFields |= kGpsValidLatitude | kGpsValidLongitude;
    }
    return position;
}

bool ListsActiveDevice(const gps_data_t& data, std::string& path) {
    const int count = std::min(data.devices.ndevices, MAXUSERDEVS);
    for (int i = 0; i < count; ++i) {
        const devconfig_t& device = data.devices.list[i];
        if (device.activated.tv_sec != 0 || device.activated.tv_nsec != 0) {
            path.assign(device.path, strnlen(device.path, sizeof device.path));
            return true;
        }
    }
    path.clear();
    return false;
}

} // namespace mv
