#include "x11_probe.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <span>
#include <string_view>
#include <thread>

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

// Waits for the owner's answer to a ConvertSelection: the property it wrote the text to, or
// XCB_ATOM_NONE when it refused or did not answer in time.
xcb_atom_t WaitForSelectionNotify(xcb_connection_t* connection, xcb_window_t requestor,
                                  std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        while (auto event = Own(xcb_poll_for_event(connection))) {
            if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY)
                continue;
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
            if (notify->requestor == requestor)
                return notify->property;
        }
        if (xcb_connection_has_error(connection) != 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return XCB_ATOM_NONE;
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

std::optional<std::string> ReadClipboardText(xcb_connection_t* connection, xcb_window_t root,
                                             std::chrono::milliseconds patience) {
    const xcb_atom_t clipboard = InternAtom(connection, "CLIPBOARD");
    const xcb_atom_t utf8 = InternAtom(connection, "UTF8_STRING");
    const xcb_atom_t target = InternAtom(connection, "MV_PROBE_CLIPBOARD");
    if (clipboard == XCB_ATOM_NONE || utf8 == XCB_ATOM_NONE || target == XCB_ATOM_NONE)
        return std::nullopt;
    // The owner writes the text to a property of a window of ours; it is never mapped.
    const xcb_window_t requestor = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(connection, requestor, clipboard, utf8, target, XCB_CURRENT_TIME);
    xcb_flush(connection);

    std::optional<std::string> text;
    if (WaitForSelectionNotify(connection, requestor, patience) == target) {
        const auto property = Own(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 1, requestor, target,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
                                   nullptr));
        // Large texts come in parts (INCR); a message box's text never needs them.
        if (property && property->type == utf8 && property->format == 8)
            text.emplace(static_cast<const char*>(xcb_get_property_value(property.get())),
                         static_cast<size_t>(xcb_get_property_value_length(property.get())));
    }
    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
    return text;
}

} // namespace mv::probe
