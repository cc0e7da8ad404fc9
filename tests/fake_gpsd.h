#pragma once
// A stand-in for gpsd on loopback, for reports a real gpsd can't be made to send. From its own
// thread it serves one client at a time: the banner, after ?WATCH the device list, then one
// scripted step every `interval`; a client that connects again carries the script on.

#include "platform/unique_fd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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
    // The text of step `step` (0, 1, ...): one or more whole lines.
    using Script = std::function<std::string(int step)>;

    FakeGpsd(Script script, std::chrono::milliseconds interval)
        : script_(std::move(script)), interval_(interval) {}
    ~FakeGpsd();

    // Listens on a port of the kernel's choice; false when none could be opened.
    bool Start();
    uint16_t Port() const { return port_; }
    int StepsSent() const { return stepsSent_.load(); }

private:
    void Serve();
    bool ReadClient();                   // false when the client has gone
    bool SendAll(std::string_view text); // false when the client went or the server stops

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
    std::thread thread_;
};

} // namespace mv::test
