#pragma once
// The screen as the program sees it: its size in device pixels and its logical resolution.

#include <cstdint>

namespace mv {

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The whole primary screen in device pixels (not the work area). {0, 0} without a screen.
ScreenSize ReadScreenSize();

// Logical dots per inch times the device pixel ratio; -1 when there is no screen to ask.
int32_t ReadScreenDpiX();
int32_t ReadScreenDpiY();

// Lets a tool or a test decide the resolution instead of the screen. Must run before the first
// ScreenDpi() read, which is kept for the life of the process.
void OverrideScreenDpi(int32_t horizontal, int32_t vertical);
// For command-line tools: pictures and fonts need a Qt application but no display, so without
// one (no DISPLAY or WAYLAND_DISPLAY, no platform chosen) Qt runs on its offscreen platform.
// Call before the application is made.
void UseOffscreenWithoutDisplay();

// Whether the window system alone decides where windows go and how large a full-screen window is
// (Wayland compositors): a program that also sets the geometry by hand confuses it.
bool WindowSystemPlacesWindows();

// Lets a tool or a test decide the screen size (for the size class of the default skin).
void OverrideScreenSize(int32_t width, int32_t height);

enum class DpiAxis { Horizontal, Vertical };

// The screen's logical dots per inch (times the device pixel ratio), read once and kept;
// -1 when no screen can be asked.
int32_t ScreenDpi(DpiAxis axis);

// Scales a length given for 96 dots per inch: (n x dpi + 48) / 96.
inline int32_t ScaleForDpi(int32_t n, DpiAxis axis) {
    return (n * ScreenDpi(axis) + 48) / 96;
}

} // namespace mv
