#include "tools/sync/sync_tool.h"

#include "gps/gps_session.h"
#include "gps/sync_messages.h"
#include "gps/sync_procedure.h"
#include "platform/clock_change.h"
#include "platform/device_clock.h"
#include "platform/gps_server_address.h"
#include "tools/sync/sync_text.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <cstdio>

namespace mv::sync_tool {

namespace {

constexpr int kFrameIntervalMs = 1000;

void PrintLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout); // each line as it happens, for whoever watches the timing
}

// Why a measured offset would not be set, for --query.
std::string RefusalReason(SyncFailure failure) {
    if (failure == SyncFailure::BeforeBuild)
        return "refused: that time is before this program was built";
    if (failure == SyncFailure::TooFarAhead)
        return "refused: that time is more than 15 years after this program was built";
    return "refused: the clock could not be read";
}

// The GPS session and the synchronisation procedure, driven as the main window drives them: a
// frame (the GPS time, and a sample of it) after each report and every second. While the wait
// lasts, an attempt that fails for want of GPS time is started again as soon as GPS time is
// usable; when it is over, a last attempt starts even without usable time and its time-out
// decides.
class SyncRun {
public:
    explicit SyncRun(bool query) : query_(query) {
        frameTimer_.callOnTimeout(&context_, [this] { Frame(); });
        frameTimer_.start(kFrameIntervalMs);
        timeout_.setSingleShot(true);
        timeout_.callOnTimeout(&context_, [this] {
            if (const std::optional<SyncFailure> failure = sync_.Timeout())
                Failed(*failure);
        });
    }

    QObject* Context() { return &context_; }
    GpsSession& Gps() { return gps_; }

    // The wait is over: the attempt running now, or one started now, is the last.
    void EndWait() {
        waitOver_ = true;
        if (!attemptRunning_)
            StartAttempt();
    }

    void Frame() {
        if (finished_)
            return;
        const GpsTimeNow now = gps_.TimeNow();
        if (now.usable)
            Feed(now.utc);
        if (now.usable != lastUsable_) {
            lastUsable_ = now.usable;
            if (!now.usable) {
                if (const std::optional<SyncFailure> failure = sync_.GpsTimeLost(gps_.Connected()))
                    Failed(*failure);
            }
        }
        if (now.usable && !attemptRunning_ && !waitOver_ && !finished_)
            StartAttempt();
    }

private:
    void StartAttempt() {
        attemptRunning_ = true;
        // Samples only of reports that come from now on: the report held now may be up to a
        // second old when the next tick's frame would sample it.
        if (sync_.Start(FirstSample::NextReport))
            timeout_.start(SyncProcedure::kTimeout);
    }

    void Feed(UtcTime gpsUtc) {
        const std::optional<UtcTime> deviceUtc = ReadUtcTime();
        if (!deviceUtc)
            return;
        const size_t taken = sync_.Samples().size();
        const SyncStep step = sync_.Feed(gpsUtc, *deviceUtc);
        if (sync_.Samples().size() > taken) {
            PrintLine("sample " + std::to_string(sync_.Samples().size()) + ": offset " +
                      FormatTicks(sync_.Samples().back()) + " s");
        }
        if (const auto* failed = std::get_if<SyncFailed>(&step))
            Failed(failed->failure);
        else if (const auto* shift = std::get_if<ShiftClock>(&step))
            Shift(shift->shift);
    }

    void Shift(ClockTicks shift) {
        timeout_.stop();
        if (query_) {
            PrintLine("offset " + FormatTicks(shift) + " s");
            Finish(kExitDone);
            return;
        }
        ShiftDeviceClock(shift.count(), &context_, [this, shift](ClockChangeResult result) {
            sync_.ClockChangeAnswered();
            if (result != ClockChangeResult::Changed) {
                Failed(SyncFailure::ClockNotChanged);
                return;
            }
            PrintLine(SyncDoneText(WholeSeconds(shift)).toStdString());
            Finish(kExitDone);
        });
    }

    void Failed(SyncFailure failure) {
        attemptRunning_ = false;
        timeout_.stop();
        if (failure == SyncFailure::NoGpsTime && !waitOver_) {
            PrintLine("no agreeing GPS time yet, trying again");
            return; // the next frame with usable GPS time starts the next attempt
        }
        if (query_ && failure != SyncFailure::NoGpsTime) {
            // A query changes no clock, so it reports what it measured and why that would not
            // be set.
            PrintLine("offset " + FormatTicks(sync_.AgreedShift().value_or(ClockTicks())) + " s");
            PrintLine(RefusalReason(failure));
            Finish(kExitSyncFailed);
            return;
        }
        PrintLine(SyncFailedText(failure).toStdString());
        Finish(failure == SyncFailure::NoGpsTime ? kExitSyncFailed : kExitClockNotSet);
    }

    void Finish(ExitCode code) {
        finished_ = true;
        QCoreApplication::exit(code);
    }

    QObject context_; // first made, last gone: the timers and the session's reports go to it
    bool query_;
    GpsSession gps_{&context_, [this] {
                        sync_.NoteReport();
                        Frame();
                    }};
    SyncProcedure sync_;
    QTimer frameTimer_;
    QTimer timeout_;
    bool lastUsable_ = false;
    bool waitOver_ = false;
    bool attemptRunning_ = false;
    bool finished_ = false;
};

int Synchronize(const SyncOptions& options) {
    SyncRun run(options.query);
    if (!run.Gps().Connect()) {
        PrintLine(GpsDeviceNotFoundText().toStdString());
        return kExitNoGpsDevice;
    }
    run.Frame();
    QTimer::singleShot(options.waitSeconds * 1000, run.Context(), [&run] { run.EndWait(); });
    const int exitCode = QCoreApplication::exec();
    run.Gps().Disconnect();
    return exitCode;
}

} // namespace

int RunSync(const SyncOptions& options) {
    OverrideGpsServerAddress({options.host, options.port});
    // A query measures on a simulated clock and sets none, so it can reach no real clock.
    if (options.simulatedOffset || options.query)
        UseSimulatedClock(options.simulatedOffset.value_or(ClockTicks()).count());
    else
        UseSystemClock();
    const int exitCode = Synchronize(options);
    if (options.simulatedOffset)
        PrintLine("residual " + FormatMilliseconds(ClockTicks(SimulatedClockOffset())) + " s");
    return exitCode;
}

} // namespace mv::sync_tool
