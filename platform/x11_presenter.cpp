#include "platform/x11_presenter.h"

#include "platform/pixel_rows.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <vector>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace mv {

namespace {

// A shared-memory picture the X server reads from directly: no pixel crosses the socket.
struct SharedImage {
    xcb_shm_seg_t segment = 0;
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pendingPuts = 0; // frames the server may still be reading (their completion hasn't come)
};

} // namespace

struct X11Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    uint8_t depth = 0;
    uint32_t maxRequestBytes = 0;
    uint8_t shmCompletionEvent = 0; // 0 = the server has no shared-memory extension
    SharedImage shared;
    std::vector<uint32_t> rows; // without shared memory: the pixels one request carries

    void ReleaseShared() {
        if (shared.pixels == nullptr)
            return;
        xcb_shm_detach(connection, shared.segment);
        shmdt(shared.pixels);
        shared = SharedImage{};
    }

    ~X11Connection() {
        if (connection == nullptr)
            return;
        ReleaseShared();
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

// Notes completions of earlier shared-memory puts; other events and errors are dropped. The
// socket is read once, which at the clock's pace already holds the last put's completion; only
// when it doesn't, and waitForCompletion asks for it, does this wait for the server.
void HandleEvents(X11Connection& x11, bool waitForCompletion) {
    xcb_generic_event_t* event = xcb_poll_for_event(x11.connection);
    while (true) {
        if (event == nullptr) {
            if (!waitForCompletion || x11.shared.pendingPuts == 0)
                return;
            event = xcb_wait_for_event(x11.connection);
            if (event == nullptr)
                return; // the connection broke
        }
        // A completion ends the server's reading; so does an error (a refused put never
        // completes), so a failed request can't leave the next present waiting for ever.
        const uint8_t type = event->response_type & 0x7F;
        if ((type == x11.shmCompletionEvent || type == 0) && x11.shared.pendingPuts > 0)
            --x11.shared.pendingPuts;
        std::free(event);
        event = xcb_poll_for_queued_event(x11.connection);
    }
}

uint8_t ShmCompletionEvent(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (extension == nullptr || extension->present == 0)
        return 0;
    return uint8_t(extension->first_event + XCB_SHM_COMPLETION);
}

// Makes the shared picture the size of the source; false when the server can't share memory.
bool EnsureSharedImage(X11Connection& x11, int width, int height) {
    if (x11.shared.pixels != nullptr && x11.shared.width == width && x11.shared.height == height)
        return true;
    HandleEvents(x11, true);
    x11.ReleaseShared();
    const int id = shmget(IPC_PRIVATE, size_t(width) * size_t(height) * 4, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(x11.connection);
    xcb_generic_error_t* error = xcb_request_check(
        x11.connection, xcb_shm_attach_checked(x11.connection, segment, uint32_t(id), 1));
    shmctl(id, IPC_RMID, nullptr); // freed once both sides have detached
    if (error != nullptr) {
        std::free(error);
        shmdt(address);
        return false;
    }
    x11.shared = {segment, static_cast<uint32_t*>(address), width, height, 0};
    return true;
}

void PutThroughSocket(X11Connection& x11, const QImage& source, const QRect& part) {
    const int width = part.width();
    const int rowsPerRequest = std::max(1, int(x11.maxRequestBytes / (uint32_t(width) * 4)));
    for (int top = part.top(); top <= part.bottom(); top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, part.bottom() + 1 - top);
        x11.rows.resize(size_t(width) * size_t(rows));
        for (int row = 0; row < rows; ++row)
            ConvertRowToRgb32(source, top + row, part.left(), width,
                              x11.rows.data() + size_t(row) * size_t(width));
        xcb_put_image(x11.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x11.window, x11.gc,
                      uint16_t(width), uint16_t(rows), int16_t(part.left()), int16_t(top), 0,
                      x11.depth, uint32_t(x11.rows.size() * 4),
                      reinterpret_cast<const uint8_t*>(x11.rows.data()));
    }
}

// The caller has waited until the server no longer reads the shared picture. The server handles
// requests in order, so only a frame's last put asks for a completion event: when it comes, the
// server has read every part of the frame.
void PutThroughSharedMemory(X11Connection& x11, const QImage& source, const QRect& part,
                            bool lastOfFrame) {
    for (int y = part.top(); y <= part.bottom(); ++y)
        ConvertRowToRgb32(source, y, part.left(), part.width(),
                          x11.shared.pixels + size_t(y) * size_t(x11.shared.width) + part.left());
    xcb_shm_put_image(x11.connection, x11.window, x11.gc, uint16_t(x11.shared.width),
                      uint16_t(x11.shared.height), uint16_t(part.left()), uint16_t(part.top()),
                      uint16_t(part.width()), uint16_t(part.height()), int16_t(part.left()),
                      int16_t(part.top()), x11.depth, XCB_IMAGE_FORMAT_Z_PIXMAP,
                      uint8_t(lastOfFrame ? 1 : 0), x11.shared.segment, 0);
    if (lastOfFrame)
        ++x11.shared.pendingPuts;
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
    x11->shmCompletionEvent = ShmCompletionEvent(x11->connection);
    connection_ = std::move(x11);
    return true;
}

void X11Presenter::Present(const QImage& source, const QRegion& region) {
    if (connection_ == nullptr || source.isNull())
        return;
    X11Connection& x11 = *connection_;
    const QRegion parts = region.intersected(source.rect());
    if (parts.isEmpty())
        return;
    if (x11.shmCompletionEvent != 0 && !EnsureSharedImage(x11, source.width(), source.height()))
        x11.shmCompletionEvent = 0; // no shared memory with this server: don't ask again
    if (x11.shmCompletionEvent != 0) {
        // The server may still be reading the last frame's puts: wait for them before writing
        // over the picture (at the clock's pace they have long finished).
        HandleEvents(x11, true);
        const int count = parts.rectCount();
        int index = 0;
        for (const QRect& part : parts)
            PutThroughSharedMemory(x11, source, part, ++index == count);
    } else {
        for (const QRect& part : parts)
            PutThroughSocket(x11, source, part);
    }
    // The completions are read at the next present, not now: they can't have come yet, and
    // asking would cost a system call per frame.
    xcb_flush(x11.connection);
}

} // namespace mv
