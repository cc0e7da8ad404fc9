#pragma once
// The clock synchronisation procedure, without any I/O of its own. Started, then fed the GPS time
// of each frame together with the device's UTC time, it answers what to do: keep sampling, shift
// the device clock, or give up and why. Five samples, at most one per GPS report, of GPS time
// minus device time, both in UTC (a daylight-saving change between the two can't add an hour).
// The caller runs the time-out and the clock change.

#include "gps/sync_decision.h"
#include "platform/utc_time.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace mv {

enum class SyncFailure {
    NoGpsTime,       // too few samples, too few that agree, or GPS time lost while sampling
    ClockNotChanged, // the clock refused the change
    BeforeBuild,     // the agreed time is before this program was built
    TooFarAhead,     // or too far after it
};

struct KeepSampling {};
struct ShiftClock {
    ClockTicks shift;
};
struct SyncFailed {
    SyncFailure failure;
};
using SyncStep = std::variant<KeepSampling, ShiftClock, SyncFailed>;

// Which report the first sample may be of: the one held now (the window samples it on its next
// frame), or only one that arrives after the start.
enum class FirstSample { HeldReport, NextReport };

class SyncProcedure {
public:
    static constexpr int kSamples = 5;
    static constexpr std::chrono::milliseconds kTimeout{6000};

    explicit SyncProcedure(UtcTime earliestTarget = BuildTime())
        : earliestTarget_(earliestTarget) {}

    bool Running() const { return samplesLeft_ != 0; }
    bool ClockChangePending() const { return clockChangePending_; }
    // Whether "Synchronize" is offered: GPS time is usable and no clock change awaits its answer.
    bool CommandAvailable(bool gpsTimeValid) const;

    // Starts over with no samples. Refused (false) while a clock change awaits its answer, so two
    // shifts measured from the same uncorrected clock never stack.
    bool Start(FirstSample first = FirstSample::HeldReport);
    // A GPS report arrived: the next Feed may sample it.
    void NoteReport();
    // A frame with usable GPS time. Samples it when a report arrived since the last sample; the
    // fifth sample decides. A ShiftClock answer leaves the clock change pending until
    // ClockChangeAnswered.
    SyncStep Feed(UtcTime gpsUtc, UtcTime deviceUtc);
    // The time-out: a running synchronisation fails.
    std::optional<SyncFailure> Timeout();
    // GPS time stopped being usable: a running synchronisation ends, as a failure while the
    // reader is still connected and silently after a disconnect.
    std::optional<SyncFailure> GpsTimeLost(bool readerConnected);
    void ClockChangeAnswered() { clockChangePending_ = false; }

    std::span<const ClockTicks> Samples() const { return samples_; }
    // The offset the samples of the last decided synchronisation agreed on.
    std::optional<ClockTicks> AgreedShift() const { return agreed_; }

private:
    SyncStep Decide(UtcTime deviceUtc);

    UtcTime earliestTarget_;
    int samplesLeft_ = 0; // 0: not running
    bool reportUnsampled_ = false;
    bool clockChangePending_ = false;
    std::vector<ClockTicks> samples_;
    std::optional<ClockTicks> agreed_;
};

// The shift as the closing message reports it: whole seconds, toward zero.
int64_t WholeSeconds(ClockTicks shift);

} // namespace mv
