#include "platform/clock_change.h"

#include "platform/device_clock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QPointer>
#include <cerrno>
#include <ctime>
#include <vector>

namespace mv {

namespace {

constexpr int64_t kNanosecondsPerUnit = 100;
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int64_t kUnitsPerMicrosecond = 10;

enum class SetTimeOutcome { Changed, NotPermitted, Failed };

// Steps CLOCK_REALTIME by shiftUnits from the time read just before.
SetTimeOutcome StepRealtimeClock(int64_t shiftUnits) {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return SetTimeOutcome::Failed;
    int64_t shiftNanoseconds = 0;
    int64_t nowNanoseconds = 0;
    int64_t newNanoseconds = 0;
    if (__builtin_mul_overflow(shiftUnits, kNanosecondsPerUnit, &shiftNanoseconds) ||
        __builtin_mul_overflow(int64_t(now.tv_sec), kNanosecondsPerSecond, &nowNanoseconds) ||
        __builtin_add_overflow(nowNanoseconds, int64_t(now.tv_nsec), &nowNanoseconds) ||
        __builtin_add_overflow(nowNanoseconds, shiftNanoseconds, &newNanoseconds) ||
        newNanoseconds < 0)
        return SetTimeOutcome::Failed;
    const timespec wanted{time_t(newNanoseconds / kNanosecondsPerSecond),
                          long(newNanoseconds % kNanosecondsPerSecond)};
    if (clock_settime(CLOCK_REALTIME, &wanted) == 0)
        return SetTimeOutcome::Changed;
    return errno == EPERM ? SetTimeOutcome::NotPermitted : SetTimeOutcome::Failed;
}

// Asks systemd-timedated to shift the clock; `done` hears its answer on context's thread.
void AskTimedated(int64_t shiftUnits, QObject* context,
                  std::function<void(ClockChangeResult)> done) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(ClockChangeResult::Refused);
        return;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
    const qint64 shiftMicroseconds = shiftUnits / kUnitsPerMicrosecond;
    const bool relative = true;
    const bool interactive = true; // polkit may ask the user
    request << shiftMicroseconds << relative << interactive;
    request.setInteractiveAuthorizationAllowed(true);
    // The watcher belongs to the context, so the answer is dropped if the context goes first.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(request), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         done(finished->isError() ? ClockChangeResult::Refused
                                                  : ClockChangeResult::Changed);
                         finished->deleteLater();
                     });
}

ClockChangeResult ShiftSimulated(int64_t shiftUnits) {
    return ShiftSimulatedClock(shiftUnits) ? ClockChangeResult::Changed
                                           : ClockChangeResult::Refused;
}

struct HeldChange {
    int64_t shiftUnits;
    QPointer<QObject> context;
    std::function<void(ClockChangeResult)> done;
};

struct HeldChanges {
    bool holding = false;
    std::vector<HeldChange> changes;
};

HeldChanges& Held() {
    static HeldChanges held;
    return held;
}

} // namespace

void HoldClockChanges() {
    Held().holding = true;
}

void ReleaseHeldClockChanges() {
    Held().holding = false;
    std::vector<HeldChange> changes = std::move(Held().changes);
    Held().changes.clear();
    for (HeldChange& change : changes) {
        if (change.context != nullptr)
            change.done(ShiftSimulated(change.shiftUnits));
    }
}

void ShiftDeviceClock(int64_t shiftUnits, QObject* context,
                      std::function<void(ClockChangeResult)> done) {
    if (!done)
        done = [](ClockChangeResult) {};
    if (CurrentDeviceClockMode() != DeviceClockMode::System) {
        if (Held().holding)
            Held().changes.push_back({shiftUnits, context, std::move(done)});
        else
            done(ShiftSimulated(shiftUnits));
        return;
    }
    switch (StepRealtimeClock(shiftUnits)) {
    case SetTimeOutcome::Changed:
        done(ClockChangeResult::Changed);
        return;
    case SetTimeOutcome::Failed:
        done(ClockChangeResult::Refused);
        return;
    case SetTimeOutcome::NotPermitted:
        break;
    }
    AskTimedated(shiftUnits, context, std::move(done));
}

} // namespace mv
