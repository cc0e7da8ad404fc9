#pragma once
// The Wayland connection Qt made for the program, and the objects of it the platform layer uses
// beside Qt: a window's own surface and the compositor's globals.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWindow;
struct wl_display;
struct wl_callback;
struct wl_interface;
struct wl_registry;
struct wl_surface;

namespace mv {

// Qt's connection, or null when the program doesn't run on Wayland.
wl_display* QtWaylandDisplay();

// The surface of `window`'s native window, or null when it has none (yet).
wl_surface* QtWaylandSurface(QWindow* window);

// The compositor's globals as it announces them on Qt's connection. The announcement is read
// from Qt's dispatch on the main thread, never waited for: a round trip of our own would have to
// read the connection beside Qt's reading thread, which waits for the main thread to dispatch.
class WaylandGlobals {
public:
    // Starts listening; `onReady` runs, from the event loop, once the compositor has announced
    // every global it has. Null off Wayland.
    static std::unique_ptr<WaylandGlobals> Listen(wl_display* display,
                                                  std::function<void()> onReady);
    ~WaylandGlobals();
    WaylandGlobals(const WaylandGlobals&) = delete;
    WaylandGlobals& operator=(const WaylandGlobals&) = delete;

    bool IsReady() const { return ready_; }

    // Binds the global of `interface` at the lower of `maxVersion` and the compositor's version.
    // Null before the announcement is complete or when the compositor doesn't offer it.
    void* Bind(const wl_interface& interface, uint32_t maxVersion) const;

    struct Global {
        uint32_t name;
        std::string interface;
        uint32_t version;
    };

private:
    explicit WaylandGlobals(std::function<void()> onReady) : onReady_(std::move(onReady)) {}
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void OnGlobalRemoved(void* data, wl_registry* registry, uint32_t name);
    static void OnAnnounced(void* data, wl_callback* callback, uint32_t);

    wl_registry* registry_ = nullptr;
    wl_callback* announced_ = nullptr;
    std::vector<Global> globals_;
    bool ready_ = false;
    std::function<void()> onReady_;
};

} // namespace mv
