#pragma once
// The main window's timers, one Qt precise timer per logical id on the window's object. The
// object's timerEvent turns the Qt timer id back into the logical id with LogicalTimerId.

#include <QPointer>
#include <array>
#include <cstdint>

class QObject;

namespace mv {

enum TimerId : int {
    TIMER_STARTUP = 1, // 200 ms, once
    TIMER_CLOCK = 2,   // 100 or 1000 ms
    TIMER_SYNC = 3,    // 6000 ms, once
};

struct RunningTimer {
    QPointer<QObject> host; // null once the host is gone, which took its timers with it
    int qtTimerId = 0;      // 0 = not running
};

// Owns the running timers and stops them when it goes.
struct WindowTimers {
    std::array<RunningTimer, 3> timers; // index = logical id - 1

    WindowTimers() = default;
    ~WindowTimers();
    WindowTimers(const WindowTimers&) = delete;
    WindowTimers& operator=(const WindowTimers&) = delete;
};

// Starts the timer on host; a running timer with the same id is stopped first. False when the
// id is unknown, there is no host or Qt refused the timer.
bool StartWindowTimer(WindowTimers& timers, QObject* host, TimerId id, int32_t periodMs);
// Stops the timer; nothing happens when it is not running.
void StopWindowTimer(WindowTimers& timers, TimerId id);
void StopAllWindowTimers(WindowTimers& timers);
bool WindowTimerRunning(const WindowTimers& timers, TimerId id);
// The logical id of a Qt timer id seen in a timerEvent; 0 when it is none of ours.
int LogicalTimerId(const WindowTimers& timers, int qtTimerId);

} // namespace mv
