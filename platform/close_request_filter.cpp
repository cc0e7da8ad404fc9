#include "platform/close_request_filter.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <xcb/xcb.h>

namespace mv {

namespace {

uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(std::strlen(name)), name), nullptr);
    if (reply == nullptr)
        return 0;
    const uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace

BlockedCloseRequestFilter::BlockedCloseRequestFilter(QWidget* window, std::function<void()> onClose)
    : window_(window), onClose_(std::move(onClose)) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    protocolsAtom_ = InternAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindowAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (protocolsAtom_ == 0 || deleteWindowAtom_ == 0)
        return;
    qApp->installNativeEventFilter(this);
    installed_ = true;
}

BlockedCloseRequestFilter::~BlockedCloseRequestFilter() {
    if (installed_ && qApp != nullptr)
        qApp->removeNativeEventFilter(this);
}

bool BlockedCloseRequestFilter::nativeEventFilter(const QByteArray& eventType, void* message,
                                                  qintptr*) {
    if (eventType != "xcb_generic_event_t" || window_ == nullptr)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (client->format != 32 || client->type != protocolsAtom_ ||
        client->data.data32[0] != deleteWindowAtom_ || client->window != window_->winId())
        return false;
    // Unblocked, Qt delivers the close itself.
    if (QApplication::activeModalWidget() == nullptr ||
        QApplication::activeModalWidget() == window_.data())
        return false;
    QTimer::singleShot(0, window_.data(), onClose_);
    return true;
}

} // namespace mv
