// The headless sync tool: its command line and number formats directly, and the real executable
// against a real gpsd on loopback fed by the NMEA feeder. Runs that could reach the machine's
// clock drop CAP_SYS_TIME and get no system bus.

#include "fake_gpsd.h"
#include "gps_test_env.h"
#include "tools/sync/sync_options.h"
#include "tools/sync/sync_text.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

#if defined(__SANITIZE_THREAD__)
// QProcess starts the tool sharing this process's memory until the exec, so ThreadSanitizer's
// mark of a fork from a multi-threaded process (the fake gpsd's thread) lands here as well and
// would stop the next fake gpsd from starting its thread. The tool itself runs after its exec, as
// its own instrumented process.
extern "C" const char* __tsan_default_options() {
    return "die_after_fork=0";
}
#endif

namespace mv {
namespace {

using sync_tool::FormatMilliseconds;
using sync_tool::FormatUnits;
using sync_tool::ParseSyncOptions;
using sync_tool::SyncOptions;

std::optional<SyncOptions> Parse(std::initializer_list<std::string_view> arguments) {
    return ParseSyncOptions(std::span(arguments.begin(), arguments.size())).options;
}

TEST(SyncToolOptions, ParsesTheCommandLineAndRejectsMisuse) {
    const auto defaults = Parse({});
    ASSERT_TRUE(defaults);
    EXPECT_FALSE(defaults->query);
    EXPECT_EQ(defaults->waitSeconds, 30);
    EXPECT_FALSE(defaults->simulatedOffset);

    const auto full = Parse({"--query", "--wait", "0", "--host", "gps.local", "--port", "65535",
                             "--simulate-offset", "-5.7"});
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->query);
    EXPECT_EQ(full->waitSeconds, 0);
    EXPECT_EQ(full->host, "gps.local");
    EXPECT_EQ(full->port, 65535);
    EXPECT_EQ(full->simulatedOffset, -57'000'000);
    EXPECT_EQ(Parse({"--simulate-offset", "+0.25"})->simulatedOffset, 2'500'000);
    EXPECT_TRUE(Parse({"--help"})->help);
    EXPECT_TRUE(Parse({"--version"})->version);

    for (const auto& misuse : std::vector<std::vector<std::string_view>>{
             {"--port", "0"},
             {"--port", "65536"},
             {"--port", "80x"},
             {"--wait", "-1"},
             {"--wait"},
             {"--host", ""},
             {"--simulate-offset", "nan"},
             {"--simulate-offset", "inf"},
             {"--simulate-offset", "1e30"},
             {"--simulate-offset", "5,7"},
             {"--verbose"},
             {"now"},
         }) {
        EXPECT_FALSE(ParseSyncOptions(misuse).options) << misuse.front();
    }
}

TEST(SyncToolText, FormatsSignedSeconds) {
    EXPECT_EQ(FormatUnits(-57'000'001), "-5.7000001");
    EXPECT_EQ(FormatUnits(0), "+0.0000000");
    EXPECT_EQ(FormatUnits(std::numeric_limits<int64_t>::min()), "-922337203685.4775808");
    EXPECT_EQ(FormatMilliseconds(-1'234'500), "-0.123"); // rounds to the nearest millisecond
    EXPECT_EQ(FormatMilliseconds(19'995'000), "+2.000");
}

struct ToolRun {
    int exitCode = -1;
    QString output; // stdout
    QString errors; // stderr
};

// Runs the tool, under `prefix` (such as setpriv) when given, with no system bus.
ToolRun RunTool(const QStringList& arguments, const QStringList& prefix = {}) {
    QTemporaryDir dir;
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                       "unix:path=" + dir.filePath("no-bus"));
    tool.setProcessEnvironment(environment);
    QStringList command = prefix;
    command << QStringLiteral(MV_BIN_DIR "/marovellastrine-sync") << arguments;
    tool.start(command.takeFirst(), command);
    ToolRun run;
    if (!tool.waitForFinished(60'000)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.output = QString::fromUtf8(tool.readAllStandardOutput());
    run.errors = QString::fromUtf8(tool.readAllStandardError());
    if (tool.exitStatus() == QProcess::NormalExit)
        run.exitCode = tool.exitCode();
    return run;
}

// The seconds of each "NAME +S.SSS s" line in the output.
std::vector<double> ValuesOf(const QString& output, const QString& name) {
    std::vector<double> values;
    const QRegularExpression line("^" + name + " ([+-]\\d+\\.\\d+) s$",
                                  QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(output); match.hasNext();)
        values.push_back(match.next().captured(1).toDouble());
    return values;
}

class SyncToolTest : public ::testing::Test {
protected:
    void StartGps(const std::string& fix = "3d") {
        ASSERT_TRUE(env_.Start({fix, 0})) << env_.Diagnostics();
    }
    QStringList At(QStringList arguments) const {
        return arguments << "--host"
                         << "127.0.0.1"
                         << "--port" << QString::number(env_.GpsdPort());
    }

    test::GpsTestEnv env_;
};

TEST_F(SyncToolTest, SimulatedClockAheadIsSetBackByTheBestSample) {
    StartGps();
    const ToolRun run = RunTool(At({"--simulate-offset", "5.7"}));
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    const std::vector<double> samples = ValuesOf(run.output, "sample \\d+: offset");
    ASSERT_EQ(samples.size(), 5u) << run.output.toStdString();
    for (double offset : samples)
        EXPECT_NEAR(offset, -5.75, 0.25); // the clock's lead plus less than half a second
    EXPECT_TRUE(run.output.contains(
        "Time synchronization was successful.\n\nSystem clock has been shifted by -5 seconds."))
        << run.output.toStdString();
    const std::vector<double> residual = ValuesOf(run.output, "residual");
    ASSERT_EQ(residual.size(), 1u) << run.output.toStdString();
    EXPECT_LT(std::abs(residual[0]), 0.1);
    EXPECT_TRUE(run.output.trimmed().endsWith(" s")) << "the residual is the last line";
}

TEST_F(SyncToolTest, QueryMeasuresAndSetsNothing) {
    StartGps();
    const ToolRun run = RunTool(At({"--query", "--simulate-offset", "2"}));
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    const std::vector<double> offset = ValuesOf(run.output, "offset");
    ASSERT_EQ(offset.size(), 1u) << run.output.toStdString();
    EXPECT_NEAR(offset[0], -2.05, 0.1);
    EXPECT_EQ(ValuesOf(run.output, "residual"), std::vector<double>{2.0});
    EXPECT_FALSE(run.output.contains("successful"));
}

bool DropsCapSysTime(const QStringList& prefix) {
    QProcess probe;
    probe.start(prefix.front(), prefix.mid(1) << "cat"
                                              << "/proc/self/status");
    if (!probe.waitForFinished(10'000))
        return false;
    const QString status = QString::fromUtf8(probe.readAllStandardOutput());
    const QRegularExpression effective("^CapEff:\\s*([0-9a-f]+)$",
                                       QRegularExpression::MultilineOption);
    const auto match = effective.match(status);
    constexpr int kCapSysTime = 25;
    return match.hasMatch() &&
           ((match.captured(1).toULongLong(nullptr, 16) >> kCapSysTime) & 1) == 0;
}

TEST_F(SyncToolTest, RefusedSystemClockChangeIsReported) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the refusal goes through Qt's D-Bus thread, which ThreadSanitizer can't see "
                    "into (Qt is not instrumented)";
#endif
    const QStringList withoutCapSysTime{"setpriv",    "--bounding-set", "-sys_time",
                                        "--inh-caps", "-sys_time",      "--"};
    ASSERT_TRUE(DropsCapSysTime(withoutCapSysTime))
        << "refusing to run: the tool could set the clock";
    StartGps();
    const ToolRun run = RunTool(At({}), withoutCapSysTime);
    EXPECT_EQ(run.exitCode, 3) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.output.contains(
        "Time synchronization failed.\n\nThe system clock could not be changed."))
        << run.output.toStdString();
    EXPECT_EQ(ValuesOf(run.output, "sample \\d+: offset").size(), 5u);
}

// The tool against a fake gpsd on loopback, for reports a real gpsd can't be made to send.
class SyncToolBadReportsTest : public ::testing::Test {
protected:
    QStringList At(test::FakeGpsd::Script script, QStringList arguments) {
        gpsd_.emplace(std::move(script), std::chrono::milliseconds(200));
        EXPECT_TRUE(gpsd_->Start());
        return arguments << "--host"
                         << "127.0.0.1"
                         << "--port" << QString::number(gpsd_->Port()) << "--simulate-offset"
                         << "2";
    }

    std::optional<test::FakeGpsd> gpsd_;
};

constexpr int64_t kYearNs = 365LL * 86'400 * 1'000'000'000;

TEST_F(SyncToolBadReportsTest, AReportWithoutFixIsRetriedWithinTheWait) {
    // gpsd sends one report without a fix right after the first fixes.
    const ToolRun run = RunTool(
        At([](int step) { return test::TpvReport(test::UnixNanosecondsNow(), step == 2 ? 1 : 3); },
           {"--wait", "10"}));
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.output.contains("no agreeing GPS time yet, trying again"))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("shifted by -2 seconds.")) << run.output.toStdString();
}

TEST_F(SyncToolBadReportsTest, TimesTheClockMustNotTakeAreRefusedAndQueriesSayWhy) {
    const auto at = [](int64_t shiftNs) -> test::FakeGpsd::Script {
        return [shiftNs](int) { return test::TpvReport(test::UnixNanosecondsNow() + shiftNs); };
    };
    const ToolRun ahead = RunTool(At(at(69 * kYearNs), {"--wait", "5"}));
    EXPECT_EQ(ahead.exitCode, 3) << ahead.output.toStdString();
    EXPECT_TRUE(ahead.output.contains(
        "Time synchronization failed.\n\nThe system clock could not be changed."))
        << ahead.output.toStdString();
    EXPECT_EQ(ValuesOf(ahead.output, "residual"), std::vector<double>{2.0});

    const ToolRun query = RunTool(At(at(-30 * kYearNs), {"--query", "--wait", "5"}));
    EXPECT_EQ(query.exitCode, 1) << query.output.toStdString();
    EXPECT_TRUE(query.output.contains("refused: that time is before this program was built"))
        << query.output.toStdString();
    EXPECT_FALSE(query.output.contains("could not be changed")) << query.output.toStdString();
    const std::vector<double> offset = ValuesOf(query.output, "offset");
    ASSERT_EQ(offset.size(), 1u) << query.output.toStdString();
    EXPECT_NEAR(offset[0], -30 * 365 * 86'400.0 - 2, 1.0);
}

TEST(SyncToolRun, NoGpsdAndBadUsage) {
    const ToolRun noGpsd = RunTool({"--host", "127.0.0.1", "--port",
                                    QString::number(test::FreeLoopbackPort()), "--wait", "0"});
    EXPECT_EQ(noGpsd.exitCode, 2);
    EXPECT_TRUE(noGpsd.output.contains(
        "Could not find GPS device.\n\nPlease verify your system GPS settings."));

    const ToolRun badUsage = RunTool({"--port", "70000"});
    EXPECT_EQ(badUsage.exitCode, 64);
    EXPECT_TRUE(badUsage.errors.contains("--port")) << badUsage.errors.toStdString();
    EXPECT_TRUE(badUsage.output.isEmpty());
}

} // namespace
} // namespace mv
