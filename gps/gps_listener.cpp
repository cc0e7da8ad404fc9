#include "gps/gps_listener.h"

#include "platform/device_clock.h"
#include "platform/window_messages.h"

namespace mv {

namespace {

class ApplicationListener final : public GpsListener {
public:
    ApplicationListener(AppState& state, QObject* host) : state_(state), host_(host) {}

    uint32_t OnPosition(const GPS_POSITION& position) override {
        {
            const std::lock_guard lock(state_.gpsLock);
            state_.gpsPosition = position;
            state_.gpsPositionTick = ReadTickCount(); // its age counts from its arrival
        }
        // Posted after leaving the lock, so the frame it triggers finds the whole record.
        PostWindowMessage(host_, MSG_GPS_DATA);
        return 0;
    }

    uint32_t OnDeviceState(const GPS_DEVICE& device) override {
        {
            const std::lock_guard lock(state_.gpsLock);
            state_.gpsDevice = device;
        }
        PostWindowMessage(host_, MSG_GPS_DATA);
        return 0;
    }

private:
    AppState& state_;
    QObject* const host_; // read on the worker thread, so fixed at creation
};

} // namespace

std::unique_ptr<GpsListener> CreateApplicationListener(AppState& state, QObject* host) {
    return std::make_unique<ApplicationListener>(state, host);
}

} // namespace mv
