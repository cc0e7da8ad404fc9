#pragma once
// The GPS reader: opens the GPS driver and runs a worker thread that waits for the driver's
// notifications and hands each new fix or receiver state to a listener.

#include "platform/gps_records.h"

#include <cstdint>
#include <memory>
#include <thread>

namespace mv {

// Status codes of Open and Close: 0 success, negative failure. A platform error e > 0 becomes
// 0x80070000 | (e & 0xFFFF).
constexpr int32_t kReaderOk = 0;
constexpr int32_t kReaderInvalidArgument = int32_t(0x80070057);
constexpr int32_t kReaderFailed = int32_t(0x80004005); // a failure that gave no error code
// Close: the worker did not end within 5000 ms. It keeps the events and the device (and still
// calls the listener) until it ends, so the listener must stay alive.
constexpr int32_t kReaderWorkerStillRunning = int32_t(0x800705B4);
// A position older than this is no longer GPS time: the driver marks it stale when it is read
// later, and the clock face stops showing it once it has been held this long.
constexpr uint32_t kMaximumPositionAgeMs = 3000;

// Receives the records on the worker thread.
class GpsListener {
public:
    virtual ~GpsListener() = default;
    virtual void OnFix(const GpsFix& fix) = 0;
    virtual void OnReceiverState(const GpsReceiverState& state) = 0;
};

// At most one reader is open at a time.
class GpsReader {
public:
    GpsReader() = default;
    ~GpsReader();
    GpsReader(const GpsReader&) = delete;
    GpsReader& operator=(const GpsReader&) = delete;

    int32_t Open(GpsListener* listener);
    int32_t Close();

    // What the worker uses: shared with it, so it never outlives them.
    struct WorkerResources;

private:
    // Signals the worker to stop and waits at most 5000 ms for it; the stop status.
    int32_t StopWorker();

    std::shared_ptr<WorkerResources> resources_;
    std::thread workerThread_;
};

} // namespace mv
