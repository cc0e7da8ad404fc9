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

// Stands in for the main window: receives the reader's notifications, the synchronisation's
// timer and messages, and draws a "frame" (the GPS time evaluation) after each notification.
class SyncHost : public QObject {
public:
    SyncHost(AppState& state, bool query)
        : state_(state), query_(query), queriedClockOffset_(SimulatedClockOffset()) {}

    // Starts the synchronisation now unless it started already.
    void StartOnce() {
        if (started_)
            return;
        started_ = true;
        StartSync(state_);
    }

    // What the window's frame does with the GPS time, then the start as soon as it is usable.
    void Frame() {
        CalendarTime displayTime;
        PollGpsTime(state_, displayTime);
        if (state_.gpsTimeValid != state_.gpsIndicatorDrawn) {
            state_.gpsIndicatorDrawn = state_.gpsTimeValid;
            OnGpsTimeValidChanged(state_);
        }
        if (state_.gpsTimeValid)
            StartOnce();
    }

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
                PrintLine(SyncDoneText(int32_t(uint32_t(message->wParam()))).toStdString());
            }
            QCoreApplication::exit(kExitDone);
            break;
        case MSG_SYNC_FAILED:
            PrintLine(SyncFailedText(message->wParam()).toStdString());
            QCoreApplication::exit(message->wParam() == kSyncFailedClockNotChanged
                                       ? kExitClockNotSet
                                       : kExitSyncFailed);
            break;
        }
        return true;
    }

    void timerEvent(QTimerEvent* event) override {
        if (LogicalTimerId(state_.windowTimers, event->timerId()) == TIMER_SYNC)
            OnSyncTimeout(state_);
    }

private:
    AppState& state_;
    bool query_;
    int64_t queriedClockOffset_; // the simulated clock's offset before a query
    bool started_ = false;
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
    int sampleNumber = 0;
    state.onSyncSample = [&sampleNumber](int64_t offset) {
        PrintLine("sample " + std::to_string(++sampleNumber) + ": offset " + FormatUnits(offset) +
                  " s");
    };
    PrintedMessageBoxes printedBoxes;

    SetGpsConnected(state, nullptr, true);
    if (!state.gpsConnected)
        return kExitNoGpsDevice;
    host.Frame();
    // With no usable time by then, the synchronisation starts anyway and its time-out decides.
    QTimer::singleShot(options.waitSeconds * 1000, &host, [&host] { host.StartOnce(); });
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
