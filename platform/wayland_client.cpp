#include "platform/wayland_client.h"

#include <QGuiApplication>
#include <QWindow>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace mv {

namespace {

struct GlobalSearch {
    const wl_interface* interface = nullptr;
    uint32_t maxVersion = 0;
    wl_registry* registry = nullptr;
    void* bound = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto& search = *static_cast<GlobalSearch*>(data);
    if (search.bound != nullptr || std::strcmp(interface, search.interface->name) != 0)
        return;
    search.bound = wl_registry_bind(registry, name, search.interface,
                                    version < search.maxVersion ? version : search.maxVersion);
}

void OnGlobalRemoved(void*, wl_registry*, uint32_t) {}

constexpr wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemoved};

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

void* BindWaylandGlobal(wl_display* display, const wl_interface& interface, uint32_t maxVersion) {
    if (display == nullptr)
        return nullptr;
    // The registry is read on a queue of our own, so that the round trip dispatches nothing of
    // Qt's; what is bound moves to the default queue afterwards.
    wl_event_queue* queue = wl_display_create_queue(display);
    if (queue == nullptr)
        return nullptr;
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    if (wrapper == nullptr) {
        wl_event_queue_destroy(queue);
        return nullptr;
    }
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    GlobalSearch search{&interface, maxVersion};
    search.registry = wl_display_get_registry(wrapper);
    if (search.registry != nullptr) {
        wl_registry_add_listener(search.registry, &kRegistryListener, &search);
        wl_display_roundtrip_queue(display, queue);
        wl_registry_destroy(search.registry);
    }
    if (search.bound != nullptr)
        wl_proxy_set_queue(static_cast<wl_proxy*>(search.bound), nullptr);
    wl_proxy_wrapper_destroy(wrapper);
    wl_event_queue_destroy(queue);
    return search.bound;
}

} // namespace mv
