#pragma once
// The main window's private messages: posted events whose types are the fixed message numbers,
// each carrying a wParam and an lParam. Posting is safe from any thread; the host's event()
// receives them one at a time on its own thread.

#include <QEvent>
#include <cstdint>

class QObject;

namespace mv {

enum MessageId : int {
    MSG_REFRESH = 0x8001,
};

class WindowMessage : public QEvent {
public:
    WindowMessage(MessageId message, uintptr_t wParam, intptr_t lParam)
        : QEvent(QEvent::Type(message)), wParam_(wParam), lParam_(lParam) {}

    MessageId message() const { return MessageId(type()); }
    uintptr_t wParam() const { return wParam_; }
    intptr_t lParam() const { return lParam_; }

private:
    uintptr_t wParam_;
    intptr_t lParam_;
};

// Queues the message for host; false when there is no host.
bool PostWindowMessage(QObject* host, MessageId message, uintptr_t wParam = 0, intptr_t lParam = 0);
// The private message an event carries; null for any other event.
const WindowMessage* AsWindowMessage(const QEvent* event);

} // namespace mv
