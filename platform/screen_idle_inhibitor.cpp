#include "platform/screen_idle_inhibitor.h"

#include "platform/wayland_client.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QWidget>
#include <QWindow>
#include <idle-inhibit-client.h>
#include <utility>
#include <wayland-client.h>

namespace mv {

namespace {

QDBusMessage ScreenSaverCall(const QString& method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                       QStringLiteral("org.freedesktop.ScreenSaver"), method);
    call.setAutoStartService(false);
    return call;
}

} // namespace

ScreenIdleInhibitor::ScreenIdleInhibitor(QDBusConnection sessionBus)
    : bus_(std::move(sessionBus)) {}

ScreenIdleInhibitor::~ScreenIdleInhibitor() {
    Release();
    if (manager_ != nullptr)
        zwp_idle_inhibit_manager_v1_destroy(manager_);
}

void ScreenIdleInhibitor::Hold(QWidget* window, bool on) {
    if (on == wanted_)
        return;
    wanted_ = on;
    window_ = window;
    if (!on) {
        Release();
        return;
    }
    if (!managerLooked_ && globals_ == nullptr) {
        // On Wayland the compositor's offer is known only from the event loop: until then the
        // screen is not held, and the caller keeps reminding the session.
        globals_ = WaylandGlobals::Listen(QtWaylandDisplay(), [this] {
            manager_ = static_cast<zwp_idle_inhibit_manager_v1*>(
                globals_->Bind(zwp_idle_inhibit_manager_v1_interface, 1));
            managerLooked_ = true;
            Apply();
        });
        if (globals_ != nullptr)
            return;
        managerLooked_ = true;
    }
    Apply();
}

void ScreenIdleInhibitor::Apply() {
    if (!wanted_ || IsHeld() || pendingCall_ != nullptr)
        return;
    wl_surface* surface =
        window_ != nullptr ? QtWaylandSurface(window_->window()->windowHandle()) : nullptr;
    if (manager_ != nullptr && surface != nullptr) {
        inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(manager_, surface);
        wl_display_flush(QtWaylandDisplay());
        return;
    }
    AskSession();
}

void ScreenIdleInhibitor::AskSession() {
    if (!bus_.isConnected())
        return;
    QDBusMessage call = ScreenSaverCall(QStringLiteral("Inhibit"));
    call << QStringLiteral("Marovellastrine") << QStringLiteral("Disable auto-off");
    pendingCall_ = std::make_unique<QDBusPendingCallWatcher>(bus_.asyncCall(call));
    QObject::connect(pendingCall_.get(), &QDBusPendingCallWatcher::finished, [this] {
        const QDBusPendingReply<uint32_t> reply = *pendingCall_;
        pendingCall_.release()->deleteLater();
        if (reply.isError() || reply.value() == 0)
            return; // no screen saver service: the caller keeps telling it of activity
        cookie_ = reply.value();
        if (!wanted_)
            Release(); // switched off while the answer was on its way
    });
}

void ScreenIdleInhibitor::Release() {
    if (inhibitor_ != nullptr) {
        zwp_idle_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
        if (wl_display* display = QtWaylandDisplay())
            wl_display_flush(display);
    }
    if (cookie_ != 0) {
        QDBusMessage call = ScreenSaverCall(QStringLiteral("UnInhibit"));
        call << cookie_;
        bus_.send(call);
        cookie_ = 0;
    }
}

} // namespace mv
