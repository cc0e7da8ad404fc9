#include "tools/sync/sync_tool.h"

#include "gps/gps_connect.h"
#include "gps/gps_time.h"
#include "gps/gps_time_valid.h"
#include "gps/sync.h"
#include "platform/device_clock.h"
#include "platform/gps_server_address.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"
#include "tools/sync/sync_text.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTimerEvent>
#include <cstdio>

namespace mv::sync_tool {

namespace {

void PrintLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout); // each line as it happens, for whoever watches the timing
}

// Why a measured offset would not be set, for --query.
std::string RefusalReason(uintptr_t failure) {
    if (failure == kSyncFailedBeforeBuild)
        return "refused: that time is before this program was built";
    if (failure == kSyncFailedTooFarAhead)
        return "refused: that time is more than 15 years after this program was built";
    return "refused: the clock could not be read";
}

// Stands in for the main window: receives the reader's notifications, the synchronisation's
// timer and messages, and draws a "frame" (the GPS time evaluation) after each notification and
// every second, as the clock tick does. While the wait lasts, an attempt that fails for want of
// GPS time is started again as soon as GPS time is usable; when it is over, a last attempt
// starts even without usable time and its time-out decides.
class SyncHost : public QObject {
public:
    SyncHost(AppState& state, bool query)
        : state_(state), query_(query), queriedClockOffset_(SimulatedClockOffset()) {
        constexpr int kFrameIntervalMs = 1000;
        frameTimer_.callOnTimeout(this, [this] { Frame(); });
        frameTimer_.start(kFrameIntervalMs);
    }

    // The wait is over: the attempt running now, or one started now, is the last.
    void EndWait() {
        waitOver_ = true;
        if (!attemptRunning_)
            StartAttempt();
    }

    void Frame() {
        CalendarTime displayTime;
        PollGpsTime(state_, displayTime);
        if (state_.gpsTimeValid != indicatorShown_) {
            indicatorShown_ = state_.gpsTimeValid;
            OnGpsTimeValidChanged(state_);
        }
        if (state_.gpsTimeValid && !attemptRunning_ && !waitOver_)
            StartAttempt();
    }

    // The number of the next sample of the running attempt.
    int NextSampleNumber() { return ++sampleNumber_; }

protected:
    bool event(QEvent* event) override {
        const WindowMessage* message = AsWindowMessage(event);
        if (message == nullptr)
            return QObject::event(event);
        switch (message->message()) {
        case MSG_GPS_DATA:
            CountGpsNotification(state_);
            Frame();
            break;
        case MSG_REFRESH:
            Frame();
            break;
        case MSG_SYNC_DONE:
            if (query_) {
                // The closing shift landed on the simulated clock; a query leaves it as it was.
                UseSimulatedClock(queriedClockOffset_);
                PrintLine("offset " + FormatUnits(state_.bestOffset) + " s");
            } else {
                PrintLine(SyncDoneText(int64_t(message->wParam())).toStdString());
            }
            QCoreApplication::exit(kExitDone);
            break;
        case MSG_SYNC_FAILED:
            Failed(message->wParam());
            break;
        }
        return true;
    }

    void timerEvent(QTimerEvent* event) override {
        if (LogicalTimerId(state_.windowTimers, event->timerId()) == TIMER_SYNC)
            OnSyncTimeout(state_);
    }

private:
    void StartAttempt() {
        attemptRunning_ = true;
        sampleNumber_ = 0;
        // Samples only of reports that come from now on: the report held now may be up to a
        // second old when the next tick's frame would sample it.
        state_.sampledCount = state_.dataCount;
        StartSync(state_);
    }

    void Failed(uintptr_t failure) {
        attemptRunning_ = false;
        if (failure == kSyncFailedNoGpsTime && !waitOver_) {
            PrintLine("no agreeing GPS time yet, trying again");
            return; // the next frame with usable GPS time starts the next attempt
        }
        if (query_ && failure != kSyncFailedNoGpsTime) {
            // A query changes no clock, so it reports what it measured and why that would not
            // be set.
            PrintLine("offset " + FormatUnits(state_.bestOffset) + " s");
            PrintLine(RefusalReason(failure));
            QCoreApplication::exit(kExitSyncFailed);
            return;
        }
        PrintLine(SyncFailedText(failure).toStdString());
        QCoreApplication::exit(failure == kSyncFailedNoGpsTime ? kExitSyncFailed
                                                               : kExitClockNotSet);
    }

    AppState& state_;
    bool query_;
    int64_t queriedClockOffset_; // the simulated clock's offset before a query
    QTimer frameTimer_;
    bool waitOver_ = false;
    bool indicatorShown_ = false; // gpsTimeValid as the last frame saw it
    bool attemptRunning_ = false;
    int sampleNumber_ = 0;
};

// Message boxes have no screen here: their text is printed instead, as the closing message.
class PrintedMessageBoxes {
public:
    PrintedMessageBoxes() {
        SetMessageBoxResponder([](const MessageBoxRequest& request) {
            PrintLine(request.text.toStdString());
            return int(IDOK);
        });
    }
    ~PrintedMessageBoxes() { SetMessageBoxResponder({}); }
    PrintedMessageBoxes(const PrintedMessageBoxes&) = delete;
    PrintedMessageBoxes& operator=(const PrintedMessageBoxes&) = delete;
};

int Synchronize(const SyncOptions& options) {
    AppState state;
    SyncHost host(state, options.query);
    state.mainWindow = &host;
    state.onSyncSample = [&host](int64_t offset) {
        PrintLine("sample " + std::to_string(host.NextSampleNumber()) + ": offset " +
                  FormatUnits(offset) + " s");
    };
    PrintedMessageBoxes printedBoxes;

    SetGpsConnected(state, nullptr, true);
    if (!state.gpsConnected)
        return kExitNoGpsDevice;
    host.Frame();
    QTimer::singleShot(options.waitSeconds * 1000, &host, [&host] { host.EndWait(); });
    const int exitCode = QCoreApplication::exec();
    SetGpsConnected(state, nullptr, false);
    StopAllWindowTimers(state.windowTimers);
    return exitCode;
}

} // namespace

int RunSync(const SyncOptions& options) {
    OverrideGpsServerAddress({options.host, options.port});
    // --query measures on a simulated clock, so the procedure's closing shift reaches no real
    // clock.
    if (options.simulatedOffset || options.query)
        UseSimulatedClock(options.simulatedOffset.value_or(0));
    else
        UseSystemClock();
    const int exitCode = Synchronize(options);
    if (options.simulatedOffset)
        PrintLine("residual " + FormatMilliseconds(SimulatedClockOffset()) + " s");
    return exitCode;
}

} // namespace mv::sync_tool
