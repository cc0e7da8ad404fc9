#pragma once
// A real gpsd on loopback, fed by the project's NMEA feeder, for the GPS tests. Both run as child
// processes in a private temporary folder; they are stopped when the environment is destroyed
// and receive SIGTERM should the test process die first.

#include "platform/unique_fd.h"

#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace mv::test {

// One child process with its stdin on a pipe and its output in a log file; stopped
// (SIGTERM, then SIGKILL) and reaped when destroyed. Started with fork(): Qt's launcher shares
// the parent's memory until exec, which ThreadSanitizer cannot follow while driver threads run.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Stop(); }

    bool Start(const std::vector<std::string>& argv, const std::string& logPath);
    void Stop();
    bool Running();
    bool WriteLine(std::string_view line);

private:
    pid_t pid_ = -1;
    UniqueFd stdinWrite_;
};

class GpsTestEnv {
public:
    ~GpsTestEnv();
    // Starts the feeder with a fix of `fix` running `offsetMilliseconds` ahead, then gpsd
    // reading it; true when gpsd accepts connections.
    bool Start(const std::string& fix = "3d", int64_t offsetMilliseconds = 0);
    // gpsd alone, on the same port as before, so a client sees it go and come back.
    void StopGpsd();
    bool StartGpsd();
    // A feeder command such as "fix dgps" or "stop".
    bool Feed(std::string_view command);

    uint16_t GpsdPort() const { return gpsdPort_; }
    // What went wrong, with gpsd's and the feeder's own messages.
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
// Put before a command, runs it without CAP_SYS_TIME and unable to regain it.
inline const QStringList kWithoutCapSysTime{"setpriv",    "--bounding-set", "-sys_time",
                                            "--inh-caps", "-sys_time",      "--"};
// True when a command run under kWithoutCapSysTime has indeed no CAP_SYS_TIME.
bool CapSysTimeDropped();

struct ProgramRun {
    int exitCode = -1; // -1 when it did not end normally within a minute
    QString output;    // its standard output; its errors go to the test's
    std::string Text() const { return output.toStdString(); }
};
// Runs `command` with its system bus at `systemBus` and `variable` ("NAME=value") set.
ProgramRun RunProgram(QStringList command, const QString& systemBus, const QString& variable = {});

// Threads of this process now.
size_t ThreadCount();

} // namespace mv::test
