#include "platform/gps_status_probe.h"

#include "platform/gps_driver_report.h"
#include "platform/gps_driver_session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace mv {

namespace {

constexpr auto kReconnectInterval = std::chrono::seconds(1);
constexpr int kReportWaitMicroseconds = 250'000;
constexpr size_t kReportHeadLength = 32;

std::vector<std::string> ActiveDevices(const gps_data_t& data) {
    std::vector<std::string> paths;
    const int count = std::min(data.devices.ndevices, MAXUSERDEVS);
    for (int i = 0; i < count; ++i) {
        const devconfig_t& device = data.devices.list[i];
        if (device.activated.tv_sec != 0 || device.activated.tv_nsec != 0)
            paths.emplace_back(device.path, strnlen(device.path, sizeof device.path));
    }
    return paths;
}

} // namespace

// Shared by the probe and its worker; the worker holds its own reference.
struct GpsStatusProbeShared {
    GpsServerAddress address;
    mutable std::mutex lock;
    std::condition_variable stopped;
    bool stopRequested = false; // under lock
    GpsdStatus status;          // under lock

    bool StopRequested() const {
        const std::lock_guard guard(lock);
        return stopRequested;
    }
    void Update(const auto& change) {
        const std::lock_guard guard(lock);
        change(status);
    }
    // Waits the interval out unless a stop comes first; true when asked to stop.
    bool PauseForStop() {
        std::unique_lock guard(lock);
        return stopped.wait_for(guard, kReconnectInterval, [this] { return stopRequested; });
    }
};

namespace {

// Reads one report if one comes soon; false when the connection was lost.
bool ReadReport(GpsStatusProbeShared& shared, gps_data_t& data) {
    if (!gps_waiting(&data, kReportWaitMicroseconds))
        return true;
    char head[kReportHeadLength] = {};
    const int length = gps_read(&data, head, sizeof head);
    if (length < 0)
        return false;
    switch (ClassifyGpsdReport(std::string_view(head, strnlen(head, sizeof head)))) {
    case GpsdReportClass::Position:
        shared.Update([&](GpsdStatus& status) { status.position = PositionFromReport(data); });
        break;
    case GpsdReportClass::DeviceList:
        shared.Update([&](GpsdStatus& status) { status.devices = ActiveDevices(data); });
        break;
    case GpsdReportClass::Device:
        gps_send(&data, "?DEVICES;\n"); // the list is what counts; ask for it again
        break;
    case GpsdReportClass::Other:
        break;
    }
    return true;
}

void RunProbe(std::shared_ptr<GpsStatusProbeShared> shared) {
    GpsdConnection connection;
    while (!shared->StopRequested()) {
        if (!connection.Open(shared->address)) {
            shared->Update([](GpsdStatus& status) { status = GpsdStatus{}; });
            if (shared->PauseForStop())
                return;
            continue;
        }
        shared->Update([](GpsdStatus& status) { status.reached = true; });
        while (!shared->StopRequested() && ReadReport(*shared, connection.Data())) {
        }
        connection.Close();
        shared->Update([](GpsdStatus& status) { status = GpsdStatus{}; });
    }
}

} // namespace

GpsStatusProbe::GpsStatusProbe(const GpsServerAddress& address)
    : shared_(std::make_shared<GpsStatusProbeShared>()) {
    shared_->address = address;
    std::thread(RunProbe, shared_).detach();
}

GpsStatusProbe::~GpsStatusProbe() {
    {
        const std::lock_guard guard(shared_->lock);
        shared_->stopRequested = true;
    }
    shared_->stopped.notify_all();
}

GpsdStatus GpsStatusProbe::Latest() const {
    const std::lock_guard guard(shared_->lock);
    return shared_->status;
}

} // namespace mv
