#pragma once
// What the samples of a synchronisation allow: the offset they agree on, and whether the time
// that offset leads to may be set. Pure decisions, no clock or state of their own.

#include "platform/utc_time.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace mv {

// gpsd sends at most one report a second, and each sample is the true offset minus the delay
// between the receiver's second and the sample. That delay stays below a second, or the report
// would be the next one's time; so samples of one receiver lie within a second of each other,
// and one further from the others than that is not late but wrong (a bad report).
constexpr ClockTicks kSampleAgreement = std::chrono::seconds(1);
// Fewer agreeing samples than this are no evidence: two can be the same bad report twice.
constexpr size_t kFewestAgreeingSamples = 3;

// The samples within kSampleAgreement of their median, and of those the largest offset (the
// least delayed); none when fewer than kFewestAgreeingSamples agree.
std::optional<ClockTicks> AgreedOffset(std::span<const ClockTicks> offsets);

// A week-number rollover ahead puts a receiver 1024 weeks (19.6 years) in the future, and
// receivers decades ahead have been seen. A clock in service 15 years after its program was
// built is rare enough that a later time is taken for such an error and refused.
constexpr ClockTicks kLatestTargetAfterBuild = std::chrono::days(15 * 365 + 4);

enum class ShiftVerdict {
    Allowed,
    BeforeBuild, // a rollover behind, or a receiver that starts from an old date
    TooFarAhead, // more than kLatestTargetAfterBuild after the build
};

// Whether the clock, at `now`, may be shifted by `shift` given the build time.
ShiftVerdict JudgeShift(UtcTime now, ClockTicks shift, UtcTime build);

// When this program was built: the clock is never set to a time before it.
UtcTime BuildTime();

} // namespace mv
