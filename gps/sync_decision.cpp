#include "gps/sync_decision.h"

#include <algorithm>
#include <vector>

namespace mv {

namespace {

// |a - b| without overflow, for any two counts.
uint64_t Distance(int64_t a, int64_t b) {
    return a >= b ? uint64_t(a) - uint64_t(b) : uint64_t(b) - uint64_t(a);
}

} // namespace

std::optional<ClockTicks> AgreedOffset(std::span<const ClockTicks> offsets) {
    if (offsets.size() < kFewestAgreeingSamples)
        return std::nullopt;
    std::vector<int64_t> sorted;
    for (const ClockTicks offset : offsets)
        sorted.push_back(offset.count());
    std::ranges::sort(sorted);
    const int64_t median = sorted[(sorted.size() - 1) / 2];
    size_t agreeing = 0;
    int64_t largest = 0;
    for (const int64_t offset : sorted) {
        if (Distance(offset, median) > uint64_t(kSampleAgreement.count()))
            continue;
        ++agreeing;
        largest = offset; // sorted, so the last one kept is the largest
    }
    if (agreeing < kFewestAgreeingSamples)
        return std::nullopt;
    return ClockTicks(largest);
}

ShiftVerdict JudgeShift(UtcTime now, ClockTicks shift, UtcTime build) {
    const int64_t buildUtc = build.time_since_epoch().count();
    int64_t target = 0;
    if (__builtin_add_overflow(now.time_since_epoch().count(), shift.count(), &target))
        return shift.count() > 0 ? ShiftVerdict::TooFarAhead : ShiftVerdict::BeforeBuild;
    if (target < buildUtc)
        return ShiftVerdict::BeforeBuild;
    if (Distance(target, buildUtc) > uint64_t(kLatestTargetAfterBuild.count()))
        return ShiftVerdict::TooFarAhead;
    return ShiftVerdict::Allowed;
}

} // namespace mv
