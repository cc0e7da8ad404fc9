#include "platform/wayland_client.h"

#include <QGuiApplication>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace mv {

namespace {

bool OnWayland() {
    return qGuiApp != nullptr && QGuiApplication::platformName().startsWith(u"wayland");
}

} // namespace

wl_display* QtWaylandDisplay() {
    if (!OnWayland())
        return nullptr;
    return static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
}

wl_surface* QtWaylandSurface(QWindow* window) {
    if (!OnWayland() || window == nullptr || window->handle() == nullptr)
        return nullptr;
    return static_cast<wl_surface*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface", window));
}

std::unique_ptr<WaylandGlobals> WaylandGlobals::Listen(wl_display* display,
                                                       std::function<void()> onReady) {
    if (display == nullptr)
        return nullptr;
    std::unique_ptr<WaylandGlobals> globals(new WaylandGlobals(std::move(onReady)));
    static constexpr wl_registry_listener kRegistryListener = {&OnGlobal, &OnGlobalRemoved};
    static constexpr wl_callback_listener kAnnouncedListener = {&OnAnnounced};
    globals->registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(globals->registry_, &kRegistryListener, globals.get());
    // The compositor answers the sync after it has announced every global.
    globals->announced_ = wl_display_sync(display);
    wl_callback_add_listener(globals->announced_, &kAnnouncedListener, globals.get());
    wl_display_flush(display);
    return globals;
}

WaylandGlobals::~WaylandGlobals() {
    if (announced_ != nullptr)
        wl_callback_destroy(announced_);
    if (registry_ != nullptr)
        wl_registry_destroy(registry_);
}

void* WaylandGlobals::Bind(const wl_interface& interface, uint32_t maxVersion) const {
    if (!ready_)
        return nullptr;
    for (const Global& global : globals_) {
        if (global.interface == interface.name)
            return wl_registry_bind(registry_, global.name, &interface,
                                    global.version < maxVersion ? global.version : maxVersion);
    }
    return nullptr;
}

void WaylandGlobals::OnGlobal(void* data, wl_registry*, uint32_t name, const char* interface,
                              uint32_t version) {
    static_cast<WaylandGlobals*>(data)->globals_.push_back({name, interface, version});
}

void WaylandGlobals::OnGlobalRemoved(void* data, wl_registry*, uint32_t name) {
    auto& globals = static_cast<WaylandGlobals*>(data)->globals_;
    std::erase_if(globals, [name](const Global& global) { return global.name == name; });
}

void WaylandGlobals::OnAnnounced(void* data, wl_callback* callback, uint32_t) {
    auto& globals = *static_cast<WaylandGlobals*>(data);
    wl_callback_destroy(callback);
    globals.announced_ = nullptr;
    globals.ready_ = true;
    if (globals.onReady_)
        globals.onReady_();
}

} // namespace mv
