// Which samples a synchronisation trusts, and which times the clock may be set to.
#include "gps/sync_decision.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace mv {
namespace {

constexpr int64_t kMs = 10'000; // 100-ns units
constexpr int64_t kYear = 365LL * 86'400 * 1000 * kMs;
constexpr int64_t kRollover = 1024LL * 7 * 86'400 * 1000 * kMs; // 1024 weeks
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

TEST(AgreedOffset, KeepsSamplesNearTheMedianAndTakesTheLargest) {
    struct Case {
        const char* what;
        std::vector<int64_t> offsets;
        std::optional<int64_t> agreed;
    };
    const Case cases[] = {
        {"five agreeing",
         {-5900 * kMs, -5750 * kMs, -5800 * kMs, -5990 * kMs, -5700 * kMs},
         -5700 * kMs},
        {"one far ahead", {-20 * kMs, -80 * kMs, kRollover, -10 * kMs, 0}, 0},
        {"two wild ones", {-5 * kMs, 69 * kYear, -2 * kYear, -7 * kMs, -3 * kMs}, -3 * kMs},
        {"just within a second", {0, 1000 * kMs, 1000 * kMs}, 1000 * kMs},
        {"just beyond a second", {0, 1001 * kMs, 500 * kMs, 1502 * kMs, -502 * kMs}, 1001 * kMs},
        {"only two agree", {0, 10 * kMs, 5 * kYear, 9 * kYear, 70 * kYear}, std::nullopt},
        {"too few samples", {0, 1}, std::nullopt},
        {"none", {}, std::nullopt},
        {"extremes don't overflow", {kInt64Min, kInt64Max, 0, 1, 2}, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AgreedOffset(c.offsets), c.agreed) << c.what;
}

TEST(JudgeShift, RefusesTimesBeforeTheBuildAndLongAfterIt) {
    const int64_t build = 13'400'000'000 * 1000 * kMs; // about 2025
    const int64_t now = build + kYear;
    struct Case {
        int64_t shift;
        ShiftVerdict verdict;
    };
    const Case cases[] = {
        {-5 * 1000 * kMs, ShiftVerdict::Allowed},
        {build - now, ShiftVerdict::Allowed}, // exactly the build time
        {build - now - 1, ShiftVerdict::BeforeBuild},
        {-kRollover, ShiftVerdict::BeforeBuild}, // a rollover behind
        {kLatestTargetAfterBuildUnits - kYear, ShiftVerdict::Allowed},
        {kLatestTargetAfterBuildUnits - kYear + 1, ShiftVerdict::TooFarAhead},
        {kRollover, ShiftVerdict::TooFarAhead},  // a rollover ahead
        {70 * kYear, ShiftVerdict::TooFarAhead}, // a ZDA in 2095
        {kInt64Max, ShiftVerdict::TooFarAhead},
        {kInt64Min, ShiftVerdict::BeforeBuild},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeShift(now, c.shift, build), c.verdict) << c.shift;
}

} // namespace
} // namespace mv
