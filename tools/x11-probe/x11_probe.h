#pragma once
// The few X11 requests the probe needs, over a connection of its own.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <xcb/xcb.h>

namespace mv::probe {

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// Connects to $DISPLAY; null when no server answers.
XcbConnection ConnectToDisplay(xcb_window_t& root);

// Asks to hear about windows mapped on the root window, so none is missed from now on.
void WatchTopLevelMaps(xcb_connection_t* connection, xcb_window_t root);

// The first top-level window mapped since WatchTopLevelMaps (menus and tooltips left out), if
// one has been reported; does not wait.
std::optional<xcb_window_t> PollMappedWindow(xcb_connection_t* connection);

struct WindowSize {
    int width = 0;
    int height = 0;
};
std::optional<WindowSize> ReadWindowSize(xcb_connection_t* connection, xcb_window_t window);

// How many different pixel values the rows at a third and at half of the window's height hold
// together: 1 or 2 for a window not drawn yet (its background, or what lay under it), dozens for
// a clock face with its dial.
int CountRowColours(xcb_connection_t* connection, xcb_window_t window, WindowSize size);

// Sends WM_DELETE_WINDOW, the close request a window manager sends when the user closes the
// window. False when the message could not be sent.
bool SendCloseRequest(xcb_connection_t* connection, xcb_window_t window);

// The text its owner holds on the CLIPBOARD selection, asked for as UTF8_STRING; nothing when no
// one owns the selection, the owner refuses the conversion or does not answer within patience.
std::optional<std::string> ReadClipboardText(xcb_connection_t* connection, xcb_window_t root,
                                             std::chrono::milliseconds patience);

} // namespace mv::probe
