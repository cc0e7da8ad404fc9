#include "platform/close_request_filter.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface_p.h>
#include <utility>

namespace mv {

// Sees every window-system event before Qt handles it; only one such handler is installed at a
// time, which the main window's single filter is.
struct BlockedCloseRequestFilter::Handler : QWindowSystemEventHandler {
    QPointer<QWidget> window;
    std::function<void()> onClose;

    bool sendEvent(QWindowSystemInterfacePrivate::WindowSystemEvent* event) override {
        if (event->type == QWindowSystemInterfacePrivate::Close && IsBlockedCloseOfWindow(event)) {
            QTimer::singleShot(0, window.data(), onClose);
            return true;
        }
        return QWindowSystemEventHandler::sendEvent(event);
    }

    bool IsBlockedCloseOfWindow(QWindowSystemInterfacePrivate::WindowSystemEvent* event) const {
        const auto* close = static_cast<QWindowSystemInterfacePrivate::CloseEvent*>(event);
        if (window == nullptr || close->window == nullptr ||
            close->window != window->windowHandle())
            return false;
        // Unblocked, Qt delivers the close itself.
        const QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr && modal != window.data();
    }
};

BlockedCloseRequestFilter::BlockedCloseRequestFilter(QWidget* window, std::function<void()> onClose)
    : handler_(std::make_unique<Handler>()) {
    handler_->window = window;
    handler_->onClose = std::move(onClose);
    QWindowSystemInterfacePrivate::installWindowSystemEventHandler(handler_.get());
}

BlockedCloseRequestFilter::~BlockedCloseRequestFilter() {
    QWindowSystemInterfacePrivate::removeWindowSystemEventhandler(handler_.get());
}

} // namespace mv
