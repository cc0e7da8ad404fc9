#include "platform/window_messages.h"

#include <QCoreApplication>
#include <memory>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace mv {

namespace {

// Qt's event queue hands a message from the posting thread to the host's thread under a lock
// that ThreadSanitizer cannot see (Qt is not instrumented); these mark that hand-over for it.
void HandOver([[maybe_unused]] const QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QEvent*>(event));
#endif
}

void TakeOver([[maybe_unused]] const QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(event));
#endif
}

} // namespace

bool PostWindowMessage(QObject* host, MessageId message, uintptr_t wParam, intptr_t lParam) {
    if (host == nullptr)
        return false;
    // The event queue takes the event over.
    auto event = std::make_unique<WindowMessage>(message, wParam, lParam);
    HandOver(event.get());
    QCoreApplication::postEvent(host, event.release());
    return true;
}

const WindowMessage* AsWindowMessage(const QEvent* event) {
    TakeOver(event);
    return dynamic_cast<const WindowMessage*>(event);
}

} // namespace mv
