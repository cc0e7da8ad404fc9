#include "platform/gps_driver.h"

#include "platform/gps_driver_publish.h"
#include "platform/gps_driver_session.h"
#include "platform/gps_server_address.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace mv {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

constexpr int64_t kUnixEpochAsFileTime = 116'444'736'000'000'000;

GPS_POSITION EmptyPosition() {
    GPS_POSITION position{};
    position.dwVersion = kGpsPositionVersion;
    position.dwSize = sizeof(GPS_POSITION);
    return position;
}

GPS_DEVICE EmptyDevice() {
    GPS_DEVICE device{};
    device.dwVersion = kGpsDeviceVersion;
    device.dwSize = sizeof(GPS_DEVICE);
    return device;
}

template <size_t N>
void CopyName(std::string_view text, char16_t (&name)[N]) {
    size_t i = 0;
    for (; i < text.size() && i + 1 < N; ++i)
        name[i] = char16_t(static_cast<unsigned char>(text[i]));
    for (; i < N; ++i)
        name[i] = 0;
}

int64_t UtcNowAsFileTime() {
    using namespace std::chrono;
    const auto sinceUnixEpoch = system_clock::now().time_since_epoch();
    return kUnixEpochAsFileTime + duration_cast<microseconds>(sinceUnixEpoch).count() * 10;
}

// The one driver instance of the process.
struct GpsDriver {
    // Guards everything below it up to `openLock`. The driver thread takes it to publish, and
    // signals the events while holding it, so a closed device's events are never signalled.
    std::mutex recordsLock;
    uint64_t openGeneration = 0; // 0: no device open
    uint64_t lastGeneration = 0;
    Event* locationEvent = nullptr;
    Event* stateEvent = nullptr;
    GPS_POSITION position = EmptyPosition();
    std::optional<SteadyTime> positionReceived;
    GPS_DEVICE device = EmptyDevice();

    // Serialises opening and closing, which own the driver thread.
    std::mutex openLock;
    GpsDriverThread thread;

    ~GpsDriver() {
        std::lock_guard guard(recordsLock);
        openGeneration = 0;
        locationEvent = nullptr;
        stateEvent = nullptr;
    } // the thread is stopped after this, as members go in reverse order
};

GpsDriver& Driver() {
    static GpsDriver driver;
    return driver;
}

thread_local uint32_t t_lastError = kGpsOk;

uint32_t Fail(uint32_t error) {
    t_lastError = error;
    return error;
}

GpsDeviceHandle FailOpen(uint32_t error) {
    t_lastError = error;
    return GpsDeviceHandle::None;
}

} // namespace

void PublishGpsPosition(uint64_t generation, const GPS_POSITION& position) {
    GpsDriver& driver = Driver();
    std::lock_guard guard(driver.recordsLock);
    if (generation != driver.openGeneration)
        return;
    driver.position = position;
    driver.positionReceived = std::chrono::steady_clock::now();
    driver.device.lastDataReceived = UtcNowAsFileTime();
    if (driver.locationEvent != nullptr)
        driver.locationEvent->Signal();
}

void PublishGpsDeviceState(uint64_t generation, const GpsDeviceView& view) {
    GpsDriver& driver = Driver();
    std::lock_guard guard(driver.recordsLock);
    if (generation != driver.openGeneration)
        return;
    driver.device.dwServiceState = view.serviceOn ? kGpsStateOn : 0;
    driver.device.dwDeviceState = view.deviceOn ? kGpsStateOn : 0;
    CopyName(view.devicePath, driver.device.friendlyName);
    if (driver.stateEvent != nullptr)
        driver.stateEvent->Signal();
}

GpsDeviceHandle GPSOpenDevice(Event* locationEvent, Event* stateEvent, const char16_t*, uint32_t) {
    GpsDriver& driver = Driver();
    std::lock_guard openGuard(driver.openLock);
    {
        std::lock_guard guard(driver.recordsLock);
        if (driver.openGeneration != 0)
            return FailOpen(kGpsErrorBusy);
    }
    const GpsServerAddress address = ReadGpsServerAddress();
    auto connection = std::make_unique<GpsdConnection>();
    if (!connection->Open(address))
        return FailOpen(kGpsErrorNotFound);

    uint64_t generation = 0;
    {
        std::lock_guard guard(driver.recordsLock);
        generation = ++driver.lastGeneration;
        driver.openGeneration = generation;
        driver.locationEvent = locationEvent;
        driver.stateEvent = stateEvent;
        driver.position = EmptyPosition();
        driver.positionReceived.reset();
        driver.device = EmptyDevice();
        driver.device.dwServiceState = kGpsStateOn;
    }
    if (!driver.thread.Start(generation, address, std::move(connection))) {
        std::lock_guard guard(driver.recordsLock);
        driver.openGeneration = 0;
        driver.locationEvent = nullptr;
        driver.stateEvent = nullptr;
        driver.device = EmptyDevice();
        return FailOpen(kGpsErrorNotEnoughMemory);
    }
    {
        // Reaching gpsd is the first change of state.
        std::lock_guard guard(driver.recordsLock);
        if (driver.stateEvent != nullptr)
            driver.stateEvent->Signal();
    }
    return GpsDeviceHandle{generation};
}

uint32_t GPSGetPosition(GpsDeviceHandle device, GPS_POSITION* position,
                        uint32_t maximumAgeMilliseconds, uint32_t) {
    if (position == nullptr || position->dwVersion != kGpsPositionVersion ||
        position->dwSize != sizeof(GPS_POSITION))
        return Fail(kGpsErrorInvalidParameter);
    GpsDriver& driver = Driver();
    std::lock_guard guard(driver.recordsLock);
    if (device == GpsDeviceHandle::None || uint64_t(device) != driver.openGeneration)
        return Fail(kGpsErrorInvalidHandle);
    *position = driver.position;
    const auto age = std::chrono::steady_clock::now() -
                     driver.positionReceived.value_or(std::chrono::steady_clock::now());
    if (age > std::chrono::milliseconds(maximumAgeMilliseconds)) {
        position->dwValidFields = 0;
        position->FixQuality = kGpsFixQualityUnknown;
        position->FixType = kGpsFixTypeUnknown;
    }
    return kGpsOk;
}

uint32_t GPSGetDeviceState(GPS_DEVICE* device) {
    if (device == nullptr || device->dwVersion != kGpsDeviceVersion ||
        device->dwSize != sizeof(GPS_DEVICE))
        return Fail(kGpsErrorInvalidParameter);
    GpsDriver& driver = Driver();
    std::lock_guard guard(driver.recordsLock);
    *device = driver.device;
    return kGpsOk;
}

GpsFix FixFromPosition(const GPS_POSITION& position) {
    GpsFix fix;
    if (position.FixQuality != kGpsFixQualityUnknown)
        fix.kind = position.FixType == kGpsFixTypeUnknown ? GpsFixKind::None
                   : position.FixType == kGpsFixType2D    ? GpsFixKind::TwoD
                                                          : GpsFixKind::ThreeD;
    fix.differential = position.FixQuality == kGpsFixQualityDifferential;
    if ((position.dwValidFields & kGpsValidUtcTime) != 0)
        fix.utc = UtcTimeFromCalendar(position.stUTCTime);
    return fix;
}

uint32_t GpsReadFix(GpsDeviceHandle device, uint32_t maximumAgeMilliseconds, GpsFix& fix) {
    GPS_POSITION position = EmptyPosition();
    const uint32_t status = GPSGetPosition(device, &position, maximumAgeMilliseconds, 0);
    if (status == kGpsOk)
        fix = FixFromPosition(position);
    return status;
}

uint32_t GpsReadReceiverState(GpsReceiverState& state) {
    GPS_DEVICE device = EmptyDevice();
    const uint32_t status = GPSGetDeviceState(&device);
    if (status == kGpsOk)
        state = {device.dwServiceState == kGpsStateOn, device.dwDeviceState == kGpsStateOn};
    return status;
}

uint32_t GPSCloseDevice(GpsDeviceHandle device) {
    GpsDriver& driver = Driver();
    std::lock_guard openGuard(driver.openLock);
    {
        std::lock_guard guard(driver.recordsLock);
        if (device == GpsDeviceHandle::None || uint64_t(device) != driver.openGeneration)
            return Fail(kGpsErrorInvalidHandle);
        driver.openGeneration = 0;
        driver.locationEvent = nullptr;
        driver.stateEvent = nullptr;
        driver.device.dwServiceState = 0;
        driver.device.dwDeviceState = 0;
    }
    driver.thread.Stop(GpsDriverThread::kStopTimeout);
    return kGpsOk;
}

uint32_t GpsLastError() {
    return t_lastError;
}

} // namespace mv
