#include "gps/gps_reader.h"

#include "platform/event.h"
#include "platform/gps_driver.h"

#include <array>
#include <atomic>
#include <chrono>

namespace mv {

namespace {

constexpr auto kWorkerStopTimeout = std::chrono::milliseconds(5000);

int32_t StatusFromError(uint32_t error) {
    if (error == 0)
        return kReaderFailed; // a failure must never read as success
    if (int32_t(error) > 0)
        return int32_t(0x80070000u | (error & 0xFFFFu));
    return int32_t(error);
}

} // namespace

struct GpsReader::WorkerResources {
    Event locationEvent;
    Event stateEvent;
    Event stopEvent;
    Event workerEnded; // signalled by the worker as its last act
    std::atomic<GpsDeviceHandle> deviceHandle{GpsDeviceHandle::None};
    GpsListener* listener = nullptr;

    WorkerResources() = default;
    WorkerResources(const WorkerResources&) = delete;
    WorkerResources& operator=(const WorkerResources&) = delete;
    // A device still set here was left to a worker that did not stop in time; it is closed
    // once that worker has let go of it.
    ~WorkerResources() {
        if (const GpsDeviceHandle device = deviceHandle.exchange(GpsDeviceHandle::None);
            device != GpsDeviceHandle::None)
            GPSCloseDevice(device);
    }
};

namespace {

void RunWorker(const std::shared_ptr<GpsReader::WorkerResources>& resources) {
    GpsFix fix;
    GpsReceiverState receiver;
    const std::array<Event*, 3> waitList = {&resources->locationEvent, &resources->stateEvent,
                                            &resources->stopEvent};
    for (;;) {
        const std::optional<size_t> signalled = WaitForAny(waitList);
        if (signalled == 0u) {
            if (GpsReadFix(resources->deviceHandle.load(), kMaximumPositionAgeMs, fix) == kGpsOk)
                resources->listener->OnFix(fix);
        } else if (signalled == 1u) {
            if (GpsReadReceiverState(receiver) == kGpsOk)
                resources->listener->OnReceiverState(receiver);
        } else if (signalled == 2u) {
            break;
        }
    }
    resources->workerEnded.Signal();
}

} // namespace

GpsReader::~GpsReader() {
    Close();
}

int32_t GpsReader::Open(GpsListener* listener) {
    if (listener == nullptr)
        return kReaderInvalidArgument;
    if (resources_ != nullptr)
        return StatusFromError(kGpsErrorBusy); // one open at a time

    resources_ = std::make_shared<WorkerResources>();
    resources_->listener = listener;
    // The worker holds its own reference, so whatever it uses lives until it ends.
    workerThread_ = std::thread([resources = resources_] { RunWorker(resources); });

    const GpsDeviceHandle device =
        GPSOpenDevice(&resources_->locationEvent, &resources_->stateEvent, nullptr, 0);
    if (device == GpsDeviceHandle::None) {
        const int32_t status = StatusFromError(GpsLastError());
        StopWorker();
        return status;
    }
    resources_->deviceHandle.store(device);
    return kReaderOk;
}

int32_t GpsReader::Close() {
    if (resources_ == nullptr || resources_->deviceHandle.load() == GpsDeviceHandle::None)
        return kReaderInvalidArgument;
    const std::shared_ptr<WorkerResources> resources = resources_;
    const int32_t stopStatus = StopWorker();
    if (stopStatus == kReaderWorkerStillRunning)
        return stopStatus; // the device closes when the worker lets go of it

    const uint32_t closed = GPSCloseDevice(resources->deviceHandle.exchange(GpsDeviceHandle::None));
    return closed == kGpsOk ? kReaderOk : StatusFromError(closed);
}

int32_t GpsReader::StopWorker() {
    int32_t status = kReaderOk;
    resources_->stopEvent.Signal();
    if (resources_->workerEnded.Wait(kWorkerStopTimeout)) {
        workerThread_.join();
    } else {
        workerThread_.detach();
        status = kReaderWorkerStillRunning;
    }
    resources_.reset();
    return status;
}

} // namespace mv
