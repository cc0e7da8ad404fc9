// The platform's auto-reset events and the wait for any of several.

#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

using namespace std::chrono_literals;

TEST(Event, ASignalReleasesOneWaitAndIsKeptUntilThen) {
    Event event;
    EXPECT_FALSE(event.Wait(0ms));
    event.Signal();
    event.Signal(); // signals before a wait count once
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_FALSE(event.Wait(20ms));

    // WaitForAny takes the first signalled in list order.
    Event location, state, stop;
    Event* const events[] = {&location, &state, &stop};
    stop.Signal();
    state.Signal();
    EXPECT_EQ(WaitForAny(events, 0ms), 1u);
    EXPECT_EQ(WaitForAny(events, 0ms), 2u);
    EXPECT_EQ(WaitForAny(events, 0ms), std::nullopt);
    EXPECT_EQ(WaitForAny({}, 0ms), std::nullopt);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForAny(events, 50ms), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(Event, WakesAWaiterOnAnotherThreadWithoutLosingSignals) {
    // The consumer, waiting without time-out, counts each release and acknowledges it, so every
    // signal must be seen exactly once.
    constexpr int kRounds = 2000;
    Event work[2], done;
    Event* const list[] = {&work[0], &work[1]};
    std::atomic<int> received = 0;
    std::thread consumer([&] {
        for (int i = 0; i < kRounds; ++i) {
            received += WaitForAny(list).has_value();
            done.Signal();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        work[i % 2].Signal();
        ASSERT_TRUE(done.Wait(5s));
    }
    consumer.join();
    EXPECT_EQ(received.load(), kRounds);
}

} // namespace
} // namespace mv
