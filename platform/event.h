#pragma once
// Auto-reset events: Signal() sets an event; the one wait that observes it clears it again, so
// each signal releases exactly one wait. A signal while nobody waits is kept until the next wait;
// several signals before that wait count as one.

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>

namespace mv {

class Event {
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Signal();
    // Waits for this event alone; false on time-out.
    bool Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    friend std::optional<size_t> WaitForAny(std::span<Event* const>,
                                            std::optional<std::chrono::milliseconds>);
    bool signalled_ = false; // guarded by the lock shared by all events
};

// Waits until one of `events` is signalled, clears it and returns its index; when several are set,
// the first in list order wins and the others stay set. nullopt when `timeout` passes first (no
// timeout waits for ever) or the list is empty. Null entries are skipped.
std::optional<size_t> WaitForAny(std::span<Event* const> events,
                                 std::optional<std::chrono::milliseconds> timeout = std::nullopt);

} // namespace mv
