#include "gps_test_env.h"

#include "platform/gps_server_address.h"
#include "platform/store.h"
#include "test_env.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(5);
constexpr auto kTermTimeout = std::chrono::seconds(3);

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool AcceptsConnections(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = Loopback(port);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath,
                         bool captureOutput) {
    Stop();
    int input[2];
    int output[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0)
        return false;
    if (captureOutput && pipe2(output, O_CLOEXEC) != 0) {
        CloseFd(input[0]);
        CloseFd(input[1]);
        return false;
    }
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    // Everything the child needs is prepared before fork(): after it, only async-signal-safe calls.
    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(input[0], STDIN_FILENO);
        dup2(captureOutput ? output[1] : log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    CloseFd(input[0]);
    CloseFd(output[1]);
    if (log >= 0)
        close(log);
    stdinWrite_ = input[1];
    stdoutRead_ = output[0];
    pendingOutput_.clear();
    if (pid_ < 0) {
        Stop();
        return false;
    }
    return true;
}

void ChildProcess::Stop() {
    CloseFd(stdinWrite_);
    CloseFd(stdoutRead_);
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kTermTimeout;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}

bool ChildProcess::IsRunning() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_)
        return true;
    pid_ = -1;
    return false;
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (const size_t end = pendingOutput_.find('\n'); end != std::string::npos) {
            line = pendingOutput_.substr(0, end);
            pendingOutput_.erase(0, end + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fd{stdoutRead_, POLLIN, 0};
        if (stdoutRead_ < 0 || left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0)
            return false;
        char chunk[256];
        const ssize_t count = read(stdoutRead_, chunk, sizeof chunk);
        if (count <= 0)
            return false;
        pendingOutput_.append(chunk, size_t(count));
    }
}

bool ChildProcess::WriteLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    return stdinWrite_ >= 0 && write(stdinWrite_, text.data(), text.size()) == ssize_t(text.size());
}

bool GpsTestEnv::Start(const FeederSettings& feeder) {
    std::signal(SIGPIPE, SIG_IGN); // a feeder that died fails Feed() instead of killing the test
    if (!dir_.isValid()) {
        problem_ = "no temporary folder";
        return false;
    }
    const std::string log = dir_.filePath("feeder.log").toStdString();
    if (!feeder_.Start({MV_BIN_DIR "/marovellastrine-nmea-feeder", "--port", "0", "--fix",
                        feeder.fix, "--offset-ms", std::to_string(feeder.offsetMilliseconds)},
                       log, true)) {
        problem_ = "the feeder did not start";
        return false;
    }
    std::string line;
    if (!feeder_.ReadLine(line, 5000) || !line.starts_with("listening ")) {
        problem_ = "the feeder did not say where it listens: " + line;
        return false;
    }
    feederPort_ = uint16_t(std::stoi(line.substr(10)));
    gpsdPort_ = FreeLoopbackPort();
    return StartGpsd();
}

bool GpsTestEnv::StartGpsd() {
    // -N: stay in the foreground; -n: read the feeder without waiting for a client; the control
    // socket and the pid file stay in our folder, the system's gpsd is never touched.
    const std::string folder = dir_.path().toStdString();
    if (!gpsd_.Start({"gpsd", "-N", "-n", "-S", std::to_string(gpsdPort_), "-P",
                      folder + "/gpsd.pid", "-F", folder + "/gpsd.sock",
                      "tcp://127.0.0.1:" + std::to_string(feederPort_)},
                     folder + "/gpsd.log", false)) {
        problem_ = "gpsd did not start";
        return false;
    }
    const auto deadline = Clock::now() + kStartTimeout;
    while (!AcceptsConnections(gpsdPort_)) {
        if (!gpsd_.IsRunning() || Clock::now() > deadline) {
            problem_ = "gpsd does not accept connections";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void GpsTestEnv::StopGpsd() {
    gpsd_.Stop();
}

bool GpsTestEnv::Feed(std::string_view command) {
    return feeder_.WriteLine(command);
}

std::string GpsTestEnv::Diagnostics() const {
    std::string text = problem_;
    for (const char* name : {"/gpsd.log", "/feeder.log"}) {
        const QByteArray log = ReadAll(dir_.path() + name);
        if (!log.isEmpty())
            text += std::string("\n") + name + ":\n" + log.toStdString();
    }
    return text;
}

uint16_t FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool UseGpsdAt(uint16_t port) {
    StoreKey key;
    return StoreCreateKey(StoreRoot::CurrentUser, kGpsSettingsKey, StoreAccess::ReadWrite, key,
                          nullptr) == kStoreOk &&
           StoreSetString(key, kGpsHostValue, u"127.0.0.1") == kStoreOk &&
           StoreSetDword(key, kGpsPortValue, port) == kStoreOk;
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

size_t ThreadCount() {
    size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

} // namespace mv::test
