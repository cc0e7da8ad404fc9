// Shifting the device clock: the simulated and manual clocks here; the system clock only in a child
// process without CAP_SYS_TIME whose system bus is missing or private with a stand-in timedated.

#include "gps_test_env.h"
#include "platform/clock_change.h"
#include "platform/device_clock.h"
#include "test_env.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace mv {
namespace {

constexpr char kChildVariable[] = "MV_CLOCK_CHANGE_CHILD";
constexpr int64_t kShiftUnits = -57'000'000; // 5.7 s back

// The answer to a shift that came within `waitMs`.
std::optional<ClockChangeResult> Shift(int64_t shiftUnits, int waitMs = 10'000) {
    QObject context;
    std::optional<ClockChangeResult> outcome;
    ShiftDeviceClock(shiftUnits, &context, [&](ClockChangeResult result) { outcome = result; });
    test::WaitUntil([&] { return outcome.has_value(); }, waitMs);
    return outcome;
}

TEST(ClockChange, SimulatedAndManualClocksMoveAtOnce) {
    UseSimulatedClock(57 * kUnitsPerSecond / 10);
    EXPECT_EQ(Shift(kShiftUnits, 0), ClockChangeResult::Changed) << "answered at once";
    EXPECT_EQ(SimulatedClockOffset(), 0);

    // A shift past the end of the offset's range is refused and leaves the offset alone.
    UseSimulatedClock(std::numeric_limits<int64_t>::max() - 1);
    EXPECT_EQ(Shift(2), ClockChangeResult::Refused);
    EXPECT_EQ(SimulatedClockOffset(), std::numeric_limits<int64_t>::max() - 1);

    UseManualClock(100 * kUnitsPerSecond, 0);
    EXPECT_EQ(Shift(kShiftUnits), ClockChangeResult::Changed);
    int64_t utc = 0;
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_EQ(utc, 100 * kUnitsPerSecond + kShiftUnits);
    // Before the start of the scale: refused, time unchanged.
    EXPECT_EQ(Shift(-200 * kUnitsPerSecond), ClockChangeResult::Refused);
    ASSERT_TRUE(ReadUtcCount(utc));
    EXPECT_EQ(utc, 100 * kUnitsPerSecond + kShiftUnits);
    UseSystemClock();
}

// Stands in for timedated: keeps the arguments of each SetTime call, accepts the first and
// refuses the rest.
class FakeTimedated : public QDBusVirtualObject {
public:
    std::vector<QList<QVariant>> calls;

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("SetTime") || message.arguments().size() != 3)
            return false;
        calls.push_back(message.arguments());
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
    UseSystemClock();
    if (mode == "no-bus") {
        EXPECT_EQ(Shift(kShiftUnits, 0), ClockChangeResult::Refused) << "with no bus, at once";
        return;
    }
    FakeTimedated timedated;
    QDBusConnection service =
        QDBusConnection::connectToBus(QDBusConnection::SystemBus, QStringLiteral("fake-timedated"));
    ASSERT_TRUE(
        service.registerVirtualObject(QStringLiteral("/org/freedesktop/timedate1"), &timedated));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.timedate1")));
    EXPECT_EQ(Shift(kShiftUnits), ClockChangeResult::Changed);
    EXPECT_EQ(Shift(kShiftUnits), ClockChangeResult::Refused);
    ASSERT_EQ(timedated.calls.size(), 2u);
    EXPECT_EQ(timedated.calls[0], (QList<QVariant>{qint64(kShiftUnits / 10), true, true}));
}

// Runs the child test without CAP_SYS_TIME and with this system bus; true when it passed.
bool ChildPasses(const QString& mode, const QString& systemBus, std::string& output) {
    const test::ProgramRun run = test::RunProgram(
        test::kWithoutCapSysTime +
            QStringList{QCoreApplication::applicationFilePath(),
                        "--gtest_filter=ClockChangeChild.SystemClockWithoutPermission"},
        systemBus, QString(kChildVariable) + "=" + mode);
    output = run.Text();
    return run.exitCode == 0 && run.output.contains("[  PASSED  ] 1 test");
}

TEST(ClockChange, SystemClockPathInChildWithoutCapSysTime) {
    ASSERT_TRUE(test::CapSysTimeDropped()) << "refusing to run: the child could set the clock";
    QTemporaryDir dir;
    std::string output;
    EXPECT_TRUE(ChildPasses("no-bus", "unix:path=" + dir.filePath("missing-bus"), output))
        << output;

    // A private bus stands in for the system bus, with a stand-in timedated on it.
    QProcess bus;
    const QString address = "unix:path=" + dir.filePath("bus");
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--nofork", "--address=" + address, "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(10'000)) << "dbus-daemon did not start";
    EXPECT_TRUE(ChildPasses("fake-timedated", address, output)) << output;
    bus.terminate();
    bus.waitForFinished(3000);
}

} // namespace
} // namespace mv
