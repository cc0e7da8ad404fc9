#pragma once
// The GPS driver's connection to gpsd and the driver thread that reads it.

#include "platform/event.h"
#include "platform/gps_server_address.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

struct gps_data_t;

namespace mv {

// A connection to gpsd through libgps that streams JSON reports; closed when destroyed.
class GpsdConnection {
public:
    GpsdConnection();
    ~GpsdConnection();
    GpsdConnection(const GpsdConnection&) = delete;
    GpsdConnection& operator=(const GpsdConnection&) = delete;

    // Connects and asks for the reports; false (and closed) when gpsd can't be reached.
    bool Open(const GpsServerAddress& address);
    void Close();
    bool IsOpen() const { return open_; }
    gps_data_t& Data() { return *data_; }

private:
    std::unique_ptr<gps_data_t> data_;
    bool open_ = false;
};

// What the driver thread shares with the thread that started it. The thread holds its own
// reference, so a thread that is abandoned by Stop() still finds it alive.
struct GpsDriverSession {
    uint64_t generation = 0;
    GpsServerAddress address;
    std::unique_ptr<GpsdConnection> connection; // the thread's alone once it runs
    std::atomic<bool> stopRequested = false;
    Event wake;     // cuts the pause between reconnection attempts short
    Event finished; // the thread's last act
};

class GpsDriverThread {
public:
    GpsDriverThread() = default;
    GpsDriverThread(const GpsDriverThread&) = delete;
    GpsDriverThread& operator=(const GpsDriverThread&) = delete;
    ~GpsDriverThread() { Stop(kStopTimeout); }

    static constexpr std::chrono::milliseconds kStopTimeout{3000};

    // Starts reading `connection` (open) for the device `generation`; false when no thread
    // could be made.
    bool Start(uint64_t generation, const GpsServerAddress& address,
               std::unique_ptr<GpsdConnection> connection);
    // Asks the thread to end and waits for it at most `timeout`; a thread still busy then (in a
    // slow connection attempt) is detached and ends on its own. False in that case.
    bool Stop(std::chrono::milliseconds timeout);

private:
    std::shared_ptr<GpsDriverSession> session_;
    std::thread thread_;
};

} // namespace mv
