#include "gps_test_env.h"

#include "platform/gps_server_address.h"
#include "platform/store.h"
#include "test_env.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv::test {

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath) {
    Stop();
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return false;
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    // Everything the child needs is prepared before fork(): after it, only async-signal-safe calls.
    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // the test died first: so do its servers
        if (getppid() != parent)
            _exit(127);
        dup2(input[0], STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    close(input[0]);
    if (log >= 0)
        close(log);
    stdinWrite_.Reset(input[1]);
    return pid_ > 0;
}

void ChildProcess::Stop() {
    stdinWrite_.Reset();
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    const QDeadlineTimer deadline(3000);
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        usleep(10'000);
    }
    pid_ = -1;
}

bool ChildProcess::Running() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_)
        pid_ = -1;
    return pid_ > 0;
}

bool ChildProcess::WriteLine(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    return write(stdinWrite_.Get(), text.data(), text.size()) == ssize_t(text.size());
}

GpsTestEnv::~GpsTestEnv() = default;

bool GpsTestEnv::Start(const std::string& fix, int64_t offsetMilliseconds) {
    std::signal(SIGPIPE, SIG_IGN); // a feeder that died fails Feed() instead of killing the test
    feeder_.Start({MV_BIN_DIR "/marovellastrine-nmea-feeder", "--port", "0", "--fix", fix,
                   "--offset-ms", std::to_string(offsetMilliseconds)},
                  dir_.filePath("feeder.log").toStdString());
    // Its first line says "listening PORT".
    const auto listening = [this] {
        const QByteArray log = ReadAll(dir_.filePath("feeder.log"));
        feederPort_ = log.startsWith("listening ") && log.contains('\n')
                          ? uint16_t(log.mid(10, log.indexOf('\n') - 10).toUInt())
                          : 0;
        return feederPort_ != 0;
    };
    if (!WaitUntil(listening)) {
        problem_ = "the feeder did not say where it listens";
        return false;
    }
    gpsdPort_ = FreeLoopbackPort();
    return StartGpsd();
}

bool GpsTestEnv::StartGpsd() {
    // -N: stay in the foreground; -n: read the feeder without waiting for a client; the control
    // socket and the pid file stay in our folder, the system's gpsd is never touched.
    const std::string folder = dir_.path().toStdString();
    gpsd_.Start({"gpsd", "-N", "-n", "-S", std::to_string(gpsdPort_), "-P", folder + "/gpsd.pid",
                 "-F", folder + "/gpsd.sock", "tcp://127.0.0.1:" + std::to_string(feederPort_)},
                folder + "/gpsd.log");
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && gpsd_.Running()) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), gpsdPort_);
        if (probe.waitForConnected(1000))
            return true;
        usleep(20'000);
    }
    problem_ = "gpsd does not accept connections";
    return false;
}

void GpsTestEnv::StopGpsd() {
    gpsd_.Stop();
}

bool GpsTestEnv::Feed(std::string_view command) {
    return feeder_.WriteLine(command);
}

std::string GpsTestEnv::Diagnostics() const {
    std::string text = problem_;
    for (const char* name : {"/gpsd.log", "/feeder.log"})
        text += std::string("\n") + name + ":\n" + ReadAll(dir_.path() + name).toStdString();
    return text;
}

uint16_t FreeLoopbackPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

bool UseGpsdAt(uint16_t port) {
    StoreKey key;
    return StoreCreateKey(StoreRoot::CurrentUser, kGpsSettingsKey, StoreAccess::ReadWrite, key,
                          nullptr) == kStoreOk &&
           StoreSetString(key, kGpsHostValue, u"127.0.0.1") == kStoreOk &&
           StoreSetDword(key, kGpsPortValue, port) == kStoreOk;
}

bool CapSysTimeDropped() {
    constexpr int kCapSysTime = 25;
    const ProgramRun run =
        RunProgram(kWithoutCapSysTime + QStringList{"grep", "^CapEff:", "/proc/self/status"}, {});
    return run.exitCode == 0 &&
           ((run.output.mid(7).trimmed().toULongLong(nullptr, 16) >> kCapSysTime) & 1) == 0;
}

ProgramRun RunProgram(QStringList command, const QString& systemBus, const QString& variable) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus);
    if (!variable.isEmpty())
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.takeFirst(), command);
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
    }
    ProgramRun run{-1, QString::fromUtf8(process.readAllStandardOutput())};
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    return run;
}

size_t ThreadCount() {
    return size_t(QDir(QStringLiteral("/proc/self/task"))
                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                      .size());
}

} // namespace mv::test
