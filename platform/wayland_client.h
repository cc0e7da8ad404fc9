#pragma once
// The Wayland connection Qt made for the program, and the objects of it the platform layer uses
// beside Qt: a window's own surface and the compositor's globals.

#include <cstdint>

class QWindow;
struct wl_display;
struct wl_interface;
struct wl_surface;

namespace mv {

// Qt's connection, or null when the program doesn't run on Wayland.
wl_display* QtWaylandDisplay();

// The surface of `window`'s native window, or null when it has none (yet).
wl_surface* QtWaylandSurface(QWindow* window);

// Binds the compositor's global of `interface` at the lower of `maxVersion` and the version the
// compositor offers, on the connection's default queue, whose events Qt dispatches on the main
// thread. Null when the compositor doesn't offer it. Costs one round trip.
void* BindWaylandGlobal(wl_display* display, const wl_interface& interface, uint32_t maxVersion);

} // namespace mv
