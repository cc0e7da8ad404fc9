// Shifting the device clock. The simulated and manual clocks are shifted here directly. The system
// clock's path runs only in a child process of this test without CAP_SYS_TIME (setpriv), whose
// system bus is either missing or a private bus with a stand-in timedated, so the machine's clock
// is never touched.

#include "platform/clock_change.h"
#include "platform/device_clock.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace mv {
namespace {

constexpr char kChildVariable[] = "MV_CLOCK_CHANGE_CHILD";
constexpr int kCapSysTime = 25;
constexpr int64_t kShiftUnits = -57'000'000; // 5.7 s back

std::optional<ClockChangeResult> ShiftAndWait(int64_t shiftUnits, QObject* context) {
    std::optional<ClockChangeResult> outcome;
    ShiftDeviceClock(shiftUnits, context, [&](ClockChangeResult result) { outcome = result; });
    QElapsedTimer waited;
    waited.start();
    while (!outcome && waited.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return outcome;
}

TEST(ClockChange, SimulatedAndManualClocksMoveAtOnce) {
    QObject context;
    UseSimulatedClock(57 * kUnitsPerSecond / 10);
    bool called = false;
    ShiftDeviceClock(kShiftUnits, &context, [&](ClockChangeResult result) {
        called = true;
        EXPECT_EQ(result, ClockChangeResult::Changed);
    });
    EXPECT_TRUE(called) << "the simulated clock answers before returning";
    EXPECT_EQ(SimulatedClockOffset(), 0);

    // A shift past the end of the offset's range is refused and leaves the offset alone.
    UseSimulatedClock(std::numeric_limits<int64_t>::max() - 1);
    EXPECT_EQ(ShiftAndWait(2, &context), ClockChangeResult::Refused);
    EXPECT_EQ(SimulatedClockOffset(), std::numeric_limits<int64_t>::max() - 1);

    UseManualClock(100 * kUnitsPerSecond, 0);
    EXPECT_EQ(ShiftAndWait(kShiftUnits, &context), ClockChangeResult::Changed);
    int64_t utc = 0;
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_EQ(utc, 100 * kUnitsPerSecond + kShiftUnits);
    // Before the start of the scale: refused, time unchanged.
    EXPECT_EQ(ShiftAndWait(-200 * kUnitsPerSecond, &context), ClockChangeResult::Refused);
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_EQ(utc, 100 * kUnitsPerSecond + kShiftUnits);
    UseSystemClock();
}

bool HasCapSysTime() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return true; // unknown: assume the worst
    // Files under /proc have no size, so the whole text is read at once.
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("CapEff:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> kCapSysTime) & 1;
    }
    return true;
}

// Stands in for timedated: records each SetTime call, accepts the first, refuses the rest.
class FakeTimedated : public QDBusVirtualObject {
public:
    struct Call {
        qint64 microseconds = 0;
        bool relative = false;
        bool interactive = false;
    };
    std::vector<Call> calls;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("SetTime") || message.arguments().size() != 3)
            return false;
        const QList<QVariant> arguments = message.arguments();
        calls.push_back({arguments[0].toLongLong(), arguments[1].toBool(), arguments[2].toBool()});
        connection.send(calls.size() == 1
                            ? message.createReply()
                            : message.createErrorReply(
                                  QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                  QStringLiteral("not allowed")));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

// Runs inside the child only: the system clock without the right to set it.
TEST(ClockChangeChild, SystemClockWithoutPermission) {
    const QByteArray mode = qgetenv(kChildVariable);
    if (mode.isEmpty())
        GTEST_SKIP() << "runs as the child of SystemClockPathInChildWithoutCapSysTime";
    ASSERT_FALSE(HasCapSysTime()) << "refusing to try: this process could set the clock";
    UseSystemClock();
    QObject context;
    if (mode == "no-bus") {
        bool called = false;
        ShiftDeviceClock(kShiftUnits, &context, [&](ClockChangeResult result) {
            called = true;
            EXPECT_EQ(result, ClockChangeResult::Refused);
        });
        EXPECT_TRUE(called) << "with no system bus the refusal is known at once";
        return;
    }
    FakeTimedated timedated;
    QDBusConnection service =
        QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("fake-timedated"));
    ASSERT_TRUE(
        service.registerVirtualObject(QStringLiteral("/org/freedesktop/timedate1"), &timedated));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.timedate1")));
    EXPECT_EQ(ShiftAndWait(kShiftUnits, &context), ClockChangeResult::Changed);
    EXPECT_EQ(ShiftAndWait(kShiftUnits, &context), ClockChangeResult::Refused);
    ASSERT_EQ(timedated.calls.size(), 2u);
    EXPECT_EQ(timedated.calls[0].microseconds, kShiftUnits / 10);
    EXPECT_TRUE(timedated.calls[0].relative);
    EXPECT_TRUE(timedated.calls[0].interactive);
}

int RunChild(const QString& mode, const QString& busAddress, QByteArray& output) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, mode);
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {"--bounding-set", "-sys_time", "--inh-caps", "-sys_time", "--",
                 QCoreApplication::applicationFilePath(),
                 "--gtest_filter=ClockChangeChild.SystemClockWithoutPermission"});
    if (!child.waitForFinished(30'000)) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    output = child.readAll();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

TEST(ClockChange, SystemClockPathInChildWithoutCapSysTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray output;
    EXPECT_EQ(RunChild("no-bus", "unix:path=" + dir.filePath("missing-bus"), output), 0)
        << output.data();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.data();

    // A private bus stands in for the system bus, with a stand-in timedated on it.
    QProcess bus;
    const QString address = "unix:path=" + dir.filePath("bus");
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--nofork", "--address=" + address, "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(10'000)) << "dbus-daemon did not start";
    EXPECT_EQ(RunChild("fake-timedated", address, output), 0) << output.data();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.data();
    bus.terminate();
    bus.waitForFinished(3000);
}

} // namespace
} // namespace mv
