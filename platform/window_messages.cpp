#include "platform/window_messages.h"

#include <QCoreApplication>
#include <memory>

namespace mv {

bool PostWindowMessage(QObject* host, MessageId message, uintptr_t wParam, intptr_t lParam) {
    if (host == nullptr)
        return false;
    // The event queue takes the event over.
    auto event = std::make_unique<WindowMessage>(message, wParam, lParam);
    QCoreApplication::postEvent(host, event.release());
    return true;
}

const WindowMessage* AsWindowMessage(const QEvent* event) {
    return dynamic_cast<const WindowMessage*>(event);
}

} // namespace mv
