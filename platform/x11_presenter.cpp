#include "platform/x11_presenter.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace mv {

struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    uint8_t depth = 0;
    uint32_t maxRequestBytes = 0;
    std::vector<uint32_t> rows; // the rectangle's pixels, 0x00RRGGBB, as one request carries them

    ~X11Connection() {
        if (connection == nullptr)
            return;
        if (gc != 0)
            xcb_free_gc(connection, gc);
        xcb_flush(connection);
        xcb_disconnect(connection);
    }
};

namespace {

// The window's depth, when its pixels travel as 32-bit words in our byte order.
bool ThirtyTwoBitPixels(xcb_connection_t* connection, uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem != 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth)
            return formats.data->bits_per_pixel == 32;
    }
    return false;
}

// Each 5-bit channel widens to 8 bits by repeating its high bits, as Qt's own conversion does.
uint32_t Rgb555ToRgb32(uint16_t pixel) {
    const auto widen = [](uint32_t channel) { return (channel << 3) | (channel >> 2); };
    return (widen((pixel >> 10) & 31) << 16) | (widen((pixel >> 5) & 31) << 8) | widen(pixel & 31);
}

void DiscardPendingEvents(xcb_connection_t* connection) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
}

} // namespace

X11Presenter::X11Presenter() = default;
X11Presenter::~X11Presenter() = default;

bool X11Presenter::Open(uintptr_t windowId) {
    connection_.reset();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || windowId == 0)
        return false;
    auto x11 = std::make_unique<X11Connection>();
    x11->connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x11->connection) != 0)
        return false;
    x11->window = xcb_window_t(windowId);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
        x11->connection, xcb_get_geometry(x11->connection, x11->window), nullptr);
    if (geometry == nullptr)
        return false;
    x11->depth = geometry->depth;
    std::free(geometry);
    if (!ThirtyTwoBitPixels(x11->connection, x11->depth))
        return false;
    x11->gc = xcb_generate_id(x11->connection);
    xcb_create_gc(x11->connection, x11->gc, x11->window, 0, nullptr);
    // Room for the request header; the rest carries pixels.
    x11->maxRequestBytes = xcb_get_maximum_request_length(x11->connection) * 4 - 64;
    connection_ = std::move(x11);
    return true;
}

void X11Presenter::Present(const QImage& source, const QRect& rect) {
    if (connection_ == nullptr || source.isNull())
        return;
    X11Connection& x11 = *connection_;
    const QRect part = rect.intersected(source.rect());
    if (part.isEmpty())
        return;
    const int width = part.width();
    const int rowsPerRequest = std::max(1, int(x11.maxRequestBytes / (uint32_t(width) * 4)));
    for (int top = part.top(); top <= part.bottom(); top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, part.bottom() + 1 - top);
        x11.rows.resize(size_t(width) * size_t(rows));
        for (int row = 0; row < rows; ++row) {
            const int y = top + row;
            uint32_t* out = x11.rows.data() + size_t(row) * size_t(width);
            if (source.format() == QImage::Format_RGB32) {
                const auto* in = reinterpret_cast<const uint32_t*>(source.constScanLine(y));
                std::copy_n(in + part.left(), width, out);
            } else if (source.format() == QImage::Format_RGB555) {
                const auto* in = reinterpret_cast<const uint16_t*>(source.constScanLine(y));
                for (int x = 0; x < width; ++x)
                    out[x] = Rgb555ToRgb32(in[part.left() + x]);
            } else {
                for (int x = 0; x < width; ++x)
                    out[x] = source.pixel(part.left() + x, y) & 0x00FFFFFF;
            }
        }
        xcb_put_image(x11.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x11.window, x11.gc,
                      uint16_t(width), uint16_t(rows), int16_t(part.left()), int16_t(top), 0,
                      x11.depth, uint32_t(x11.rows.size() * 4),
                      reinterpret_cast<const uint8_t*>(x11.rows.data()));
    }
    xcb_flush(x11.connection);
    DiscardPendingEvents(x11.connection);
}

} // namespace mv
