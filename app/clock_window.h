#pragma once
// The program's window: the clock face, fed by the clock tick and the private messages. It owns
// nothing of the clock; AppState does.

#include "app/app_state.h"
#include "clock/clock_face_widget.h"

#include <QWidget>

namespace mv {

class ClockWindow : public QWidget {
public:
    explicit ClockWindow(AppState& state);
    ~ClockWindow() override;
    ClockWindow(const ClockWindow&) = delete;
    ClockWindow& operator=(const ClockWindow&) = delete;

    // Starts the clock: the window receives the timers and messages, the clock timer runs and
    // the first display time is taken. The first size then draws the first full frame.
    void InitClock();

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    AppState& state_;
    ClockFaceWidget* face_; // owned by Qt as a child
};

// Releases what the running clock holds: its timers, the back buffer and the skin.
void ReleaseClock(AppState& state);

} // namespace mv
