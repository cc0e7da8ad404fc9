#pragma once
// A stand-in for gpsd on loopback, for the reports a real gpsd can't be made to send. It listens
// on a port the kernel chooses and serves one client at a time from its own thread: the VERSION
// banner, after the client's ?WATCH the device list and the WATCH answer, then one scripted step
// every `interval`. A client that connects again (after dropping a connection) carries the script
// on where it was. Stopped, with its thread joined, when destroyed.

#include "platform/unique_fd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace mv::test {

// The system clock now, in nanoseconds since 1970.
int64_t UnixNanosecondsNow();
// A TPV report of a fix of `mode` (1 none, 2 2-D, 3 3-D) at that moment, "time" with
// milliseconds; without "time" when `withTime` is false.
std::string TpvReport(int64_t unixNanoseconds, int mode = 3, bool withTime = true);

class FakeGpsd {
public:
    // The text of step `step` (0, 1, ...): one or more whole lines, or empty to send nothing that
    // step; none ends the script, and the client hears nothing more (a silent receiver).
    using Script = std::function<std::optional<std::string>(int step)>;

    FakeGpsd(Script script, std::chrono::milliseconds interval);
    ~FakeGpsd();
    FakeGpsd(const FakeGpsd&) = delete;
    FakeGpsd& operator=(const FakeGpsd&) = delete;

    // Listens and starts serving; false when the port could not be opened.
    bool Start();
    uint16_t Port() const { return port_; }
    // Steps of the script sent so far.
    int StepsSent() const { return stepsSent_.load(); }

private:
    void Serve();
    void Accept();
    // Reads what the client sent; false when it has gone.
    bool ReadClient();
    void SendStep();
    // Sends all of `text` unless the client goes or the server stops; false then.
    bool SendAll(std::string_view text);

    Script script_;
    std::chrono::milliseconds interval_;
    UniqueFd listener_;
    UniqueFd client_;
    bool watching_ = false; // the client has sent ?WATCH
    std::string received_;
    std::chrono::steady_clock::time_point nextStep_;
    uint16_t port_ = 0;
    std::atomic<int> stepsSent_ = 0;
    std::atomic<bool> stop_ = false;
    bool scriptEnded_ = false;
    std::thread thread_;
};

} // namespace mv::test
