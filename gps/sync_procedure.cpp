#include "gps/sync_procedure.h"

namespace mv {

bool SyncProcedure::CommandAvailable(bool gpsTimeValid) const {
    return gpsTimeValid && !clockChangePending_;
}

bool SyncProcedure::Start(FirstSample first) {
    if (clockChangePending_)
        return false;
    samplesLeft_ = kSamples;
    samples_.clear();
    agreed_.reset();
    if (first == FirstSample::NextReport)
        reportUnsampled_ = false;
    return true;
}

void SyncProcedure::NoteReport() {
    reportUnsampled_ = true;
}

SyncStep SyncProcedure::Feed(UtcTime gpsUtc, UtcTime deviceUtc) {
    if (!Running() || !reportUnsampled_)
        return KeepSampling{};
    reportUnsampled_ = false; // at most one sample per report
    int64_t offset = 0;
    if (__builtin_sub_overflow(gpsUtc.time_since_epoch().count(),
                               deviceUtc.time_since_epoch().count(), &offset))
        return KeepSampling{};
    samples_.push_back(ClockTicks(offset));
    if (--samplesLeft_ != 0)
        return KeepSampling{};
    return Decide(deviceUtc);
}

// The largest agreeing offset: each one is the true offset minus that sample's delivery delay.
// Never to a time before the program was built (a receiver caught in a week-number rollover
// reports dates decades old), nor to one too far after it (a rollover ahead, or a garbled date).
SyncStep SyncProcedure::Decide(UtcTime deviceUtc) {
    agreed_ = AgreedOffset(samples_);
    if (!agreed_)
        return SyncFailed{SyncFailure::NoGpsTime};
    switch (JudgeShift(deviceUtc, *agreed_, earliestTarget_)) {
    case ShiftVerdict::Allowed:
        break;
    case ShiftVerdict::BeforeBuild:
        return SyncFailed{SyncFailure::BeforeBuild};
    case ShiftVerdict::TooFarAhead:
        return SyncFailed{SyncFailure::TooFarAhead};
    }
    clockChangePending_ = true;
    return ShiftClock{*agreed_};
}

std::optional<SyncFailure> SyncProcedure::Timeout() {
    if (!Running())
        return std::nullopt;
    samplesLeft_ = 0;
    return SyncFailure::NoGpsTime;
}

std::optional<SyncFailure> SyncProcedure::GpsTimeLost(bool readerConnected) {
    const bool wasRunning = Running();
    samplesLeft_ = 0;
    if (wasRunning && readerConnected)
        return SyncFailure::NoGpsTime;
    return std::nullopt;
}

int64_t WholeSeconds(ClockTicks shift) {
    return std::chrono::duration_cast<std::chrono::seconds>(shift).count();
}

} // namespace mv
