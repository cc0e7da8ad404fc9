#pragma once
// What gpsd reports now, for the GPS settings page: a connection of its own, read on a worker
// thread so that a slow or missing gpsd never holds up the caller.

#include "platform/gps_records.h"
#include "platform/gps_server_address.h"

#include <memory>
#include <string>
#include <vector>

namespace mv {

struct GpsdStatus {
    bool reached = false;             // connected to gpsd now
    std::vector<std::string> devices; // the active devices gpsd reports
    GPS_POSITION position{};          // the last position report (all zeros before one)
};

struct GpsStatusProbeShared;

// Connects to gpsd at `address` and keeps the latest status; reconnects every second while
// gpsd can't be reached. Destroying the probe never waits: the worker ends on its own soon after.
class GpsStatusProbe {
public:
    explicit GpsStatusProbe(const GpsServerAddress& address);
    ~GpsStatusProbe();
    GpsStatusProbe(const GpsStatusProbe&) = delete;
    GpsStatusProbe& operator=(const GpsStatusProbe&) = delete;

    GpsdStatus Latest() const;

private:
    std::shared_ptr<GpsStatusProbeShared> shared_;
};

} // namespace mv
