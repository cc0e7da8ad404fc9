#pragma once
// The records of the GPS driver. The driver keeps a position record and a device-state record of
// the intermediate driver's layout, with their published sizes; callers fill only dwVersion and
// dwSize before a call. The layers above the platform see the plain records at the end: a fix
// with its UTC time, and whether gpsd and its device are on.

#include "platform/calendar.h"
#include "platform/utc_time.h"

#include <cstddef>
#include <cstdint>
#include <optional>

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

enum class GpsFixKind { None, TwoD, ThreeD };

// What a position report tells: the kind of fix and, when the report carried a valid one, the
// receiver's UTC time.
struct GpsFix {
    GpsFixKind kind = GpsFixKind::None;
    bool differential = false;
    std::optional<UtcTime> utc;
    friend bool operator==(const GpsFix&, const GpsFix&) = default;
};

struct GpsReceiverState {
    bool serviceOn = false; // gpsd is reached
    bool deviceOn = false;  // gpsd reports an active device
    friend bool operator==(const GpsReceiverState&, const GpsReceiverState&) = default;
};

// The plain fix of a position record. A record without a fix quality or type has no fix; its
// time counts only when its valid-fields bit says so and it names a moment.
GpsFix FixFromPosition(const GPS_POSITION& position);

} // namespace mv
