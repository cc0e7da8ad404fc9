#include "platform/event.h"

#include <condition_variable>
#include <mutex>

namespace mv {
namespace {

// All events share one lock and one condition: a waiter on any list of events then needs to
// watch only one condition, and Signal() never takes more than one lock. Events are few and
// signals rare, so waking every waiter on a signal costs nothing that matters.
struct EventHub {
    std::mutex lock;
    std::condition_variable changed;
};

// Never destroyed: a driver thread still being stopped while the program's statics are torn
// down at exit may signal and wait on events until the very end.
EventHub& Hub() {
    static EventHub& hub = *new EventHub;
    return hub;
}

} // namespace

void Event::Signal() {
    {
        std::lock_guard guard(Hub().lock);
        signalled_ = true;
    }
    Hub().changed.notify_all();
}

bool Event::Wait(std::optional<std::chrono::milliseconds> timeout) {
    Event* const self[] = {this};
    return WaitForAny(self, timeout).has_value();
}

std::optional<size_t> WaitForAny(std::span<Event* const> events,
                                 std::optional<std::chrono::milliseconds> timeout) {
    if (events.empty())
        return std::nullopt;
    std::unique_lock guard(Hub().lock);
    const auto takeFirstSignalled = [events]() -> std::optional<size_t> {
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i] != nullptr && events[i]->signalled_) {
                events[i]->signalled_ = false;
                return i;
            }
        }
        return std::nullopt;
    };
    if (!timeout) {
        while (true) {
            if (const std::optional<size_t> index = takeFirstSignalled())
                return index;
            Hub().changed.wait(guard);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + *timeout;
    while (true) {
        if (const std::optional<size_t> index = takeFirstSignalled())
            return index;
        if (Hub().changed.wait_until(guard, deadline) == std::cv_status::timeout)
            return takeFirstSignalled();
    }
}

} // namespace mv
