#include "x11_probe.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <span>
#include <string_view>

namespace mv::probe {

namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> Own(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name) {
    const auto reply = Own(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void CountRow(xcb_connection_t* connection, xcb_window_t window, int width, int y,
              std::set<uint32_t>& colours) {
    const auto image = Own(xcb_get_image_reply(connection,
                                               xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                             window, 0, static_cast<int16_t>(y),
                                                             static_cast<uint16_t>(width), 1, ~0u),
                                               nullptr));
    if (!image)
        return;
    const int length = xcb_get_image_data_length(image.get());
    if (length < width * 4)
        return; // only 32-bit pixels are compared
    const std::span<const uint8_t> bytes(xcb_get_image_data(image.get()),
                                         static_cast<size_t>(length));
    for (int x = 0; x < width; ++x) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, bytes.data() + x * 4, sizeof pixel);
        colours.insert(pixel & 0x00FFFFFFu);
    }
}

} // namespace

XcbConnection ConnectToDisplay(xcb_window_t& root) {
    int screenNumber = 0;
    XcbConnection connection(xcb_connect(nullptr, &screenNumber));
    if (!connection || xcb_connection_has_error(connection.get()) != 0)
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return nullptr;
    root = screens.data->root;
    return connection;
}

void WatchTopLevelMaps(xcb_connection_t* connection, xcb_window_t root) {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

std::optional<xcb_window_t> PollMappedWindow(xcb_connection_t* connection) {
    std::optional<xcb_window_t> mapped;
    while (auto event = Own(xcb_poll_for_event(connection))) {
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY || mapped)
            continue;
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
        if (map->override_redirect == 0)
            mapped = map->window;
    }
    return mapped;
}

std::optional<WindowSize> ReadWindowSize(xcb_connection_t* connection, xcb_window_t window) {
    const auto geometry =
        Own(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry)
        return std::nullopt;
    return WindowSize{geometry->width, geometry->height};
}

int CountRowColours(xcb_connection_t* connection, xcb_window_t window, WindowSize size) {
    std::set<uint32_t> colours;
    CountRow(connection, window, size.width, size.height / 3, colours);
    CountRow(connection, window, size.width, size.height / 2, colours);
    return static_cast<int>(colours.size());
}

bool SendCloseRequest(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_atom_t protocols = InternAtom(connection, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = InternAtom(connection, "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE)
        return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = deleteWindow;
    message.data.data32[1] = XCB_CURRENT_TIME;
    // The event is 32 bytes on the wire, as xcb_send_event expects.
    char wire[32] = {};
    static_assert(sizeof message == sizeof wire);
    std::memcpy(wire, &message, sizeof wire);
    const auto error = Own(xcb_request_check(
        connection, xcb_send_event_checked(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, wire)));
    return !error;
}

} // namespace mv::probe
