#include "platform/keep_awake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <utility>

namespace mv {

namespace {

std::function<void()>& Observer() {
    static std::function<void()> observer;
    return observer;
}

} // namespace

void SimulateUserActivity() {
    if (Observer()) {
        Observer()();
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("SimulateUserActivity"));
    call.setAutoStartService(false); // an absent service is not started for this
    bus.send(call);                  // the answer, or the error of an absent service, is dropped
}

void SetUserActivityObserver(std::function<void()> observer) {
    Observer() = std::move(observer);
}

} // namespace mv
