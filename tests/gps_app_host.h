#pragma once
// A stand-in for the main window in the GPS tests: it receives the private messages and the
// synchronisation time-out, and answers them as the window does. Each MSG_GPS_DATA is counted and,
// like MSG_REFRESH, followed by a frame's GPS evaluation (PollGpsTime, then OnGpsTimeValidChanged
// when the usability differs from the last frame's). Message boxes are recorded, not shown.

#include "app/app_state.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"

#include <QObject>
#include <QWidget>
#include <chrono>
#include <functional>
#include <vector>

namespace mv::test {

struct ReceivedMessage {
    MessageId message;
    uintptr_t wParam;
};

class GpsAppHost : public QObject {
public:
    // Makes the state's main window this host, with the two soft-key bars and the label.
    explicit GpsAppHost(AppState& state);
    ~GpsAppHost() override;

    // Runs the event loop until `done` holds (true) or `timeout` passes (false).
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs the event loop for this long.
    void RunFor(std::chrono::milliseconds duration);

    int Count(MessageId message) const;
    // Whether the visible bar's menu offers "Synchronize".
    bool SynchronizeEnabled() const;

    std::vector<ReceivedMessage> messages;
    std::vector<MessageBoxRequest> boxes;
    QWidget window;
    QWidget* syncLabel = nullptr; // owned by window

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void DrawFrame();

    AppState& state_;
    bool indicatorShown_ = false; // gpsTimeValid as the last frame saw it
};

// Threads of this process now.
size_t ThreadCount();

} // namespace mv::test
