#pragma once
// Keeps the screen on while the program asks for it: through the compositor's idle-inhibit
// protocol on a Wayland compositor that offers it, otherwise through the session's screen-saver
// service on D-Bus (org.freedesktop.ScreenSaver Inhibit and UnInhibit).

#include <QDBusConnection>
#include <QPointer>
#include <cstdint>
#include <memory>

class QDBusPendingCallWatcher;
class QWidget;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;

namespace mv {

class WaylandGlobals;

class ScreenIdleInhibitor {
public:
    // `sessionBus` is where the screen saver is asked when the compositor can't be.
    explicit ScreenIdleInhibitor(QDBusConnection sessionBus = QDBusConnection::sessionBus());
    ~ScreenIdleInhibitor();
    ScreenIdleInhibitor(const ScreenIdleInhibitor&) = delete;
    ScreenIdleInhibitor& operator=(const ScreenIdleInhibitor&) = delete;

    // Holds the screen on for as long as `window` shows, or lets it go. Cheap when nothing
    // changes, so it may be called on every clock tick.
    void Hold(QWidget* window, bool on);

    // Whether the compositor or the session has taken the request.
    bool IsHeld() const { return inhibitor_ != nullptr || cookie_ != 0; }

private:
    void Apply();
    void Release();
    void AskSession();

    QDBusConnection bus_;
    bool wanted_ = false;
    QPointer<QWidget> window_;
    std::unique_ptr<WaylandGlobals> globals_; // on Wayland, until the manager is looked up
    bool managerLooked_ = false;
    zwp_idle_inhibit_manager_v1* manager_ = nullptr;
    zwp_idle_inhibitor_v1* inhibitor_ = nullptr;
    uint32_t cookie_ = 0; // the session's, for UnInhibit; 0 = none
    std::unique_ptr<QDBusPendingCallWatcher> pendingCall_;
};

} // namespace mv
