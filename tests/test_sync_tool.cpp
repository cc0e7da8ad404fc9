// The headless sync tool: its command line and number formats directly, and the real executable
// against a real gpsd on loopback fed by the NMEA feeder and against a fake one. Runs that could
// reach the machine's clock drop CAP_SYS_TIME and get no system bus.

#include "fake_gpsd.h"
#include "gps_test_env.h"
#include "tools/sync/sync_options.h"
#include "tools/sync/sync_text.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <ranges>

#if defined(__SANITIZE_THREAD__)
// QProcess forks while the fake gpsd's thread runs; the mark ThreadSanitizer leaves on such a fork
// would stop the next fake gpsd's thread from starting. The tool runs instrumented after its exec.
extern "C" const char* __tsan_default_options() {
    return "die_after_fork=0";
}
#endif

namespace mv {
namespace {

using sync_tool::FormatMilliseconds;
using sync_tool::FormatTicks;
using sync_tool::ParseSyncOptions;
using namespace std::chrono_literals;

std::optional<sync_tool::SyncOptions> Parse(std::initializer_list<std::string_view> arguments) {
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
    EXPECT_EQ(full->simulatedOffset, -5700ms);
    EXPECT_EQ(Parse({"--simulate-offset", "+0.25"})->simulatedOffset, 250ms);
    EXPECT_TRUE(Parse({"--help"})->help);
    EXPECT_TRUE(Parse({"--version"})->version);

    EXPECT_FALSE(Parse({"--host", ""}));
    for (const std::string_view misuse :
         {"--port 0", "--port 65536", "--port 80x", "--wait -1", "--wait", "--simulate-offset nan",
          "--simulate-offset inf", "--simulate-offset 1e30", "--simulate-offset 5,7", "--verbose",
          "now"}) {
        std::vector<std::string_view> words;
        for (const auto word : std::views::split(misuse, ' '))
            words.emplace_back(word.begin(), word.end());
        EXPECT_FALSE(ParseSyncOptions(words).options) << misuse;
    }
    EXPECT_EQ(FormatTicks(-5700ms - ClockTicks(1)), "-5.7000001");
    EXPECT_EQ(FormatTicks(ClockTicks(0)), "+0.0000000");
    EXPECT_EQ(FormatTicks(ClockTicks::min()), "-922337203685.4775808");
    EXPECT_EQ(FormatMilliseconds(ClockTicks(-1'234'500)),
              "-0.123"); // rounds to the nearest millisecond
    EXPECT_EQ(FormatMilliseconds(ClockTicks(19'995'000)), "+2.000");
}

// Runs the tool against 127.0.0.1:port, under `prefix` when given, with no system bus.
test::ProgramRun RunTool(uint16_t port, const QStringList& arguments,
                         const QStringList& prefix = {}) {
    QTemporaryDir dir;
    return test::RunProgram(prefix + QStringList{MV_BIN_DIR "/marovellastrine-sync"} + arguments +
                                QStringList{"--host", "127.0.0.1", "--port", QString::number(port)},
                            "unix:path=" + dir.filePath("no-bus"));
}

// The seconds of each "NAME +S.SSS s" line in the output.
std::vector<double> ValuesOf(const test::ProgramRun& run, const QString& name) {
    std::vector<double> values;
    const QRegularExpression line("^" + name + " ([+-]\\d+\\.\\d+) s$",
                                  QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(run.output); match.hasNext();)
        values.push_back(match.next().captured(1).toDouble());
    return values;
}

TEST(SyncToolRun, AgainstGpsd) {
    test::GpsTestEnv env;
    ASSERT_TRUE(env.Start()) << env.Diagnostics();

    const test::ProgramRun ahead = RunTool(env.GpsdPort(), {"--simulate-offset", "5.7"});
    EXPECT_EQ(ahead.exitCode, 0) << ahead.Text();
    const std::vector<double> samples = ValuesOf(ahead, "sample \\d+: offset");
    ASSERT_EQ(samples.size(), 5u) << ahead.Text();
    for (double offset : samples)
        EXPECT_NEAR(offset, -5.75, 0.25); // the clock's lead plus less than half a second
    EXPECT_TRUE(
        ahead.output.contains("successful.\n\nSystem clock has been shifted by -5 seconds."))
        << ahead.Text();
    const std::vector<double> residual = ValuesOf(ahead, "residual");
    ASSERT_EQ(residual.size(), 1u) << ahead.Text();
    EXPECT_LT(std::abs(residual[0]), 0.1);
    EXPECT_TRUE(ahead.output.trimmed().endsWith(" s")) << "the residual is the last line";

    // A query measures and sets nothing.
    const test::ProgramRun query = RunTool(env.GpsdPort(), {"--query", "--simulate-offset", "2"});
    EXPECT_EQ(query.exitCode, 0) << query.Text();
    const std::vector<double> offset = ValuesOf(query, "offset");
    ASSERT_EQ(offset.size(), 1u) << query.Text();
    EXPECT_NEAR(offset[0], -2.05, 0.1);
    EXPECT_EQ(ValuesOf(query, "residual"), std::vector<double>{2.0});
    EXPECT_FALSE(query.output.contains("successful"));

#if !defined(__SANITIZE_THREAD__) // the refusal goes through Qt's D-Bus thread, not instrumented
    // The system clock, without the right to change it and without a system bus.
    ASSERT_TRUE(test::CapSysTimeDropped()) << "refusing to run: the tool could set the clock";
    const test::ProgramRun refused = RunTool(env.GpsdPort(), {}, test::kWithoutCapSysTime);
    EXPECT_EQ(refused.exitCode, 3) << refused.Text();
    EXPECT_TRUE(refused.output.contains("The system clock could not be changed."))
        << refused.Text();
    EXPECT_EQ(ValuesOf(refused, "sample \\d+: offset").size(), 5u);
#endif
}

TEST(SyncToolRun, AgainstAFakeGpsdAndNone) {
    // One report without a fix ends the first attempt, which the wait retries; the receiver then
    // tells a time 30 years before the build, which a query measures and says it would refuse.
    constexpr int64_t kYearNs = 365LL * 86'400 * 1'000'000'000;
    test::FakeGpsd gpsd(
        [](int step) {
            return test::TpvReport(test::UnixNanosecondsNow() - (step > 2 ? 30 * kYearNs : 0),
                                   step == 2 ? 1 : 3);
        },
        std::chrono::milliseconds(200));
    ASSERT_TRUE(gpsd.Start());
    const test::ProgramRun query =
        RunTool(gpsd.Port(), {"--query", "--wait", "10", "--simulate-offset", "2"});
    EXPECT_EQ(query.exitCode, 1) << query.Text();
    EXPECT_TRUE(query.output.contains("no agreeing GPS time yet, trying again")) << query.Text();
    EXPECT_TRUE(query.output.contains("refused: that time is before this program was built"))
        << query.Text();
    const std::vector<double> offset = ValuesOf(query, "offset");
    ASSERT_EQ(offset.size(), 1u) << query.Text();
    EXPECT_NEAR(offset[0], -30 * 365 * 86'400.0 - 2, 1.0);

    const test::ProgramRun noGpsd = RunTool(test::FreeLoopbackPort(), {"--wait", "0"});
    EXPECT_EQ(noGpsd.exitCode, 2);
    EXPECT_TRUE(noGpsd.output.contains("Could not find GPS device.")) << noGpsd.Text();
    QProcess badUsage;
    badUsage.start(QStringLiteral(MV_BIN_DIR "/marovellastrine-sync"), {"--port", "70000"});
    ASSERT_TRUE(badUsage.waitForFinished(10'000));
    EXPECT_EQ(badUsage.exitCode(), 64);
    EXPECT_TRUE(badUsage.readAllStandardError().contains("--port"));
    EXPECT_TRUE(badUsage.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace mv
