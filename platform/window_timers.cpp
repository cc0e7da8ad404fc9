#include "platform/window_timers.h"

#include <QObject>

namespace mv {

namespace {

RunningTimer* Find(WindowTimers& timers, TimerId id) {
    if (id < TIMER_STARTUP || id > TIMER_SYNC)
        return nullptr;
    return &timers.timers[size_t(id - 1)];
}

void Stop(RunningTimer& timer) {
    if (timer.qtTimerId != 0 && timer.host != nullptr)
        timer.host->killTimer(timer.qtTimerId);
    timer.host = nullptr;
    timer.qtTimerId = 0;
}

} // namespace

WindowTimers::~WindowTimers() {
    StopAllWindowTimers(*this);
}

bool StartWindowTimer(WindowTimers& timers, QObject* host, TimerId id, int32_t periodMs) {
    RunningTimer* timer = Find(timers, id);
    if (timer == nullptr || host == nullptr)
        return false;
    Stop(*timer);
    const int qtTimerId = host->startTimer(periodMs, Qt::PreciseTimer);
    if (qtTimerId == 0)
        return false;
    timer->host = host;
    timer->qtTimerId = qtTimerId;
    return true;
}

void StopWindowTimer(WindowTimers& timers, TimerId id) {
    if (RunningTimer* timer = Find(timers, id))
        Stop(*timer);
}

void StopAllWindowTimers(WindowTimers& timers) {
    for (RunningTimer& timer : timers.timers)
        Stop(timer);
}

bool WindowTimerRunning(const WindowTimers& timers, TimerId id) {
    if (id < TIMER_STARTUP || id > TIMER_SYNC)
        return false;
    const RunningTimer& timer = timers.timers[size_t(id - 1)];
    return timer.qtTimerId != 0 && timer.host != nullptr;
}

int LogicalTimerId(const WindowTimers& timers, int qtTimerId) {
    if (qtTimerId == 0)
        return 0;
    for (size_t i = 0; i < timers.timers.size(); ++i) {
        if (timers.timers[i].qtTimerId == qtTimerId && timers.timers[i].host != nullptr)
            return int(i) + 1;
    }
    return 0;
}

} // namespace mv
