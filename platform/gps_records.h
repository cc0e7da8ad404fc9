#pragma once
// The two records of the GPS intermediate driver: the position record and the device-state
// record, with their published sizes. The program fills only dwVersion and dwSize before a call
// and reads stUTCTime, FixQuality and FixType of the position and dwServiceState and
// dwDeviceState of the device.

#include "platform/calendar.h"

#include <cstddef>
#include <cstdint>

namespace mv {

constexpr uint32_t kGpsPositionVersion = 1;
constexpr uint32_t kGpsDeviceVersion = 1;
constexpr int kGpsMaxSatellites = 12;

// FixQuality: 0 unknown, 1 GPS fix, 2 differential fix.
enum : uint32_t {
    kGpsFixQualityUnknown = 0,
    kGpsFixQualityGps = 1,
    kGpsFixQualityDifferential = 2
};
// FixType: 0 unknown, 1 2-D, 2 3-D.
enum : uint32_t { kGpsFixTypeUnknown = 0, kGpsFixType2D = 1, kGpsFixType3D = 2 };
// dwServiceState and dwDeviceState: 1 = on.
constexpr uint32_t kGpsStateOn = 1;
// Bits of GPS_POSITION.dwValidFields: which fields carry what the receiver reported.
constexpr uint32_t kGpsValidUtcTime = 0x1;
constexpr uint32_t kGpsValidLatitude = 0x2;
constexpr uint32_t kGpsValidLongitude = 0x4;

struct GPS_POSITION {
    uint32_t dwVersion;
    uint32_t dwSize;
    uint32_t dwValidFields;
    uint32_t dwFlags;
    CalendarTime stUTCTime;
    double latitude;
    double longitude;
    float heading;
    float speed;
    float magneticVariation;
    float altitudeAboveSeaLevel;
    float altitudeAboveEllipsoid;
    uint32_t FixQuality;
    uint32_t FixType;
    uint32_t selectionType;
    float positionDilution;
    float horizontalDilution;
    float verticalDilution;
    uint32_t satelliteCount;
    uint32_t satellitesUsed[kGpsMaxSatellites];
    uint32_t satellitesInView;
    uint32_t satellitesInViewIds[kGpsMaxSatellites];
    uint32_t satellitesInViewElevation[kGpsMaxSatellites];
    uint32_t satellitesInViewAzimuth[kGpsMaxSatellites];
    uint32_t satellitesInViewSignalToNoise[kGpsMaxSatellites];
    uint32_t reserved;
};
static_assert(sizeof(CalendarTime) == 16);
static_assert(offsetof(GPS_POSITION, stUTCTime) == 16);
static_assert(sizeof(GPS_POSITION) == 344);

struct GPS_DEVICE {
    uint32_t dwVersion;
    uint32_t dwSize;
    uint32_t dwServiceState;
    uint32_t dwDeviceState;
    int64_t lastDataReceived; // 100-ns count, UTC
    char16_t driverPrefix[16];
    char16_t multiplexPrefix[16];
    char16_t friendlyName[64];
};
static_assert(sizeof(GPS_DEVICE) == 216);

} // namespace mv
