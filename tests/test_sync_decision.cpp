// Which samples a synchronisation trusts, and which times the clock may be set to.
#include "gps/sync_decision.h"

#include <gtest/gtest.h>
#include <vector>

namespace mv {
namespace {

constexpr ClockTicks kMs = std::chrono::milliseconds(1);
constexpr ClockTicks kYear = std::chrono::days(365);
constexpr ClockTicks kRollover = std::chrono::weeks(1024);

TEST(AgreedOffset, KeepsSamplesNearTheMedianAndTakesTheLargest) {
    struct Case {
        const char* what;
        std::vector<ClockTicks> offsets;
        std::optional<ClockTicks> agreed;
    };
    const Case cases[] = {
        {"five agreeing",
         {-5900 * kMs, -5750 * kMs, -5800 * kMs, -5990 * kMs, -5700 * kMs},
         -5700 * kMs},
        {"one far ahead", {-20 * kMs, -80 * kMs, kRollover, -10 * kMs, {}}, ClockTicks()},
        {"two wild ones", {-5 * kMs, 69 * kYear, -2 * kYear, -7 * kMs, -3 * kMs}, -3 * kMs},
        {"just within a second", {{}, 1000 * kMs, 1000 * kMs}, 1000 * kMs},
        {"just beyond a second", {{}, 1001 * kMs, 500 * kMs, 1502 * kMs, -502 * kMs}, 1001 * kMs},
        {"only two agree", {{}, 10 * kMs, 5 * kYear, 9 * kYear, 70 * kYear}, std::nullopt},
        {"too few samples", {{}, ClockTicks(1)}, std::nullopt},
        {"none", {}, std::nullopt},
        {"extremes don't overflow",
         {ClockTicks::min(), ClockTicks::max(), {}, ClockTicks(1), ClockTicks(2)},
         ClockTicks(2)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AgreedOffset(c.offsets), c.agreed) << c.what;
}

TEST(JudgeShift, RefusesTimesBeforeTheBuildAndLongAfterIt) {
    const UtcTime build{std::chrono::seconds(1'750'000'000)}; // 2025
    const UtcTime now = build + kYear;
    struct Case {
        ClockTicks shift;
        ShiftVerdict verdict;
    };
    const Case cases[] = {
        {-5 * 1000 * kMs, ShiftVerdict::Allowed},
        {build - now, ShiftVerdict::Allowed}, // exactly the build time
        {build - now - ClockTicks(1), ShiftVerdict::BeforeBuild},
        {-kRollover, ShiftVerdict::BeforeBuild}, // a rollover behind
        {kLatestTargetAfterBuild - kYear, ShiftVerdict::Allowed},
        {kLatestTargetAfterBuild - kYear + ClockTicks(1), ShiftVerdict::TooFarAhead},
        {kRollover, ShiftVerdict::TooFarAhead},  // a rollover ahead
        {70 * kYear, ShiftVerdict::TooFarAhead}, // a ZDA in 2095
        {ClockTicks::max(), ShiftVerdict::TooFarAhead},
        {ClockTicks::min(), ShiftVerdict::BeforeBuild},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeShift(now, c.shift, build), c.verdict) << c.shift.count();
}

} // namespace
} // namespace mv
