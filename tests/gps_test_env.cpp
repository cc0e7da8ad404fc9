#include "gps_test_env.h"

#include "platform/gps_server_address.h"
#include "platform/store.h"
#include "test_env.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <csignal>
#include <sys/prctl.h>

namespace mv::test {
namespace {

void StartChild(QProcess& process, const QStringList& command) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(command.front(), command.mid(1));
}

void StopChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
    }
}

} // namespace

GpsTestEnv::~GpsTestEnv() {
    StopChild(gpsd_);
    StopChild(feeder_);
}

bool GpsTestEnv::Start(const std::string& fix, int64_t offsetMilliseconds) {
    feeder_.setStandardErrorFile(dir_.filePath("feeder.log"), QIODevice::Append);
    StartChild(feeder_,
               {MV_BIN_DIR "/marovellastrine-nmea-feeder", "--port", "0", "--fix",
                QString::fromStdString(fix), "--offset-ms", QString::number(offsetMilliseconds)});
    const QDeadlineTimer deadline(5000);
    while (!feeder_.canReadLine() && feeder_.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    const QByteArray line = feeder_.readLine().trimmed();
    feederPort_ = line.startsWith("listening ") ? uint16_t(line.mid(10).toUInt()) : 0;
    if (feederPort_ == 0) {
        problem_ = "the feeder did not say where it listens";
        return false;
    }
    gpsdPort_ = FreeLoopbackPort();
    return StartGpsd();
}

bool GpsTestEnv::StartGpsd() {
    // -N: stay in the foreground; -n: read the feeder without waiting for a client; the control
    // socket and the pid file stay in our folder, the system's gpsd is never touched.
    gpsd_.setProcessChannelMode(QProcess::MergedChannels);
    gpsd_.setStandardOutputFile(dir_.filePath("gpsd.log"), QIODevice::Append);
    StartChild(gpsd_, {"gpsd", "-N", "-n", "-S", QString::number(gpsdPort_), "-P",
                       dir_.filePath("gpsd.pid"), "-F", dir_.filePath("gpsd.sock"),
                       "tcp://127.0.0.1:" + QString::number(feederPort_)});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && gpsd_.state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), gpsdPort_);
        if (probe.waitForConnected(1000))
            return true;
        gpsd_.waitForFinished(20);
    }
    problem_ = "gpsd does not accept connections";
    return false;
}

void GpsTestEnv::StopGpsd() {
    StopChild(gpsd_);
}

bool GpsTestEnv::Feed(std::string_view command) {
    const QByteArray line = QByteArray(command.data(), qsizetype(command.size())) + '\n';
    return feeder_.write(line) == line.size() && feeder_.waitForBytesWritten(1000);
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
