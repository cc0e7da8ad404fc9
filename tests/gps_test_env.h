#pragma once
// A real gpsd on loopback, fed by the project's NMEA feeder, for the GPS driver's tests. Both
// run as child processes in a private temporary folder and are stopped (SIGTERM, then SIGKILL)
// and reaped when the environment is destroyed; they also receive SIGTERM should the test
// process die first.

#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace mv::test {

// One child process; stopped and reaped when destroyed.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Stop(); }

    // Runs `argv` with its stdin on a pipe and stderr appended to `logPath`; stdout goes to a
    // pipe read by ReadLine() when `captureOutput`, else to the log too.
    bool Start(const std::vector<std::string>& argv, const std::string& logPath,
               bool captureOutput);
    // SIGTERM, up to 3 s for the process to end, then SIGKILL; always reaps it.
    void Stop();
    bool IsRunning();
    // Reads one line of the child's stdout, waiting at most `timeoutMs`.
    bool ReadLine(std::string& line, int timeoutMs);
    bool WriteLine(std::string_view line);

private:
    pid_t pid_ = -1;
    int stdinWrite_ = -1;
    int stdoutRead_ = -1;
    std::string pendingOutput_;
};

struct FeederSettings {
    std::string fix = "3d";
    int64_t offsetMilliseconds = 0;
};

class GpsTestEnv {
public:
    GpsTestEnv() = default;
    GpsTestEnv(const GpsTestEnv&) = delete;
    GpsTestEnv& operator=(const GpsTestEnv&) = delete;

    // Starts the feeder, then gpsd reading it; true when gpsd accepts connections.
    bool Start(const FeederSettings& feeder = {});
    // gpsd alone, on the same port as before, so a client sees it go and come back.
    void StopGpsd();
    bool StartGpsd();
    // A feeder command such as "fix dgps" or "stop".
    bool Feed(std::string_view command);

    uint16_t GpsdPort() const { return gpsdPort_; }
    // What went wrong, with gpsd's own messages.
    std::string Diagnostics() const;

private:
    QTemporaryDir dir_;
    ChildProcess feeder_;
    ChildProcess gpsd_;
    uint16_t feederPort_ = 0;
    uint16_t gpsdPort_ = 0;
    std::string problem_;
};

// A loopback TCP port that nothing listens on at the moment of the call.
uint16_t FreeLoopbackPort();
// Points the GPS driver at 127.0.0.1:port through the current user's platform store.
bool UseGpsdAt(uint16_t port);

// Runs the event loop until `done` holds (true) or `timeout` passes (false).
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Threads of this process now.
size_t ThreadCount();

} // namespace mv::test
