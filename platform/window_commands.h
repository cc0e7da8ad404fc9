#pragma once
// Commands: what a soft key, a menu item, the Done button or the OK key asks of a window. They
// are posted events carrying the command number and a notification code (0 for keys and menus),
// handled by the window's event() one at a time like the private messages.

#include <QEvent>
#include <cstdint>

class QObject;

namespace mv {

// An event type of our own inside Qt's user range, apart from the private messages.
inline constexpr int kCommandEventType = 0x7111;

class CommandEvent : public QEvent {
public:
    CommandEvent(int command, int notification)
        : QEvent(QEvent::Type(kCommandEventType)), command_(command), notification_(notification) {}

    int command() const { return command_; }
    int notification() const { return notification_; }

private:
    int command_;
    int notification_;
};

// Queues the command for window; false when there is none.
bool PostCommand(QObject* window, int command, int notification = 0);
// Delivers the command at once; returns whether the window handled it.
bool SendCommand(QObject* window, int command, int notification = 0);
// The command an event carries; null for any other event.
const CommandEvent* AsCommand(const QEvent* event);

} // namespace mv
