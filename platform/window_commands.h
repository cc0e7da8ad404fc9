#pragma once
// Commands: what a soft key, a menu item, the Done button or the OK key asks of a window. They
// are posted events carrying the command number and a notification code (0 for keys and menus),
// handled by the window's event() one at a time like the private messages.

#include <QEvent>
#include <cstdint>

class QObject;

namespace mv {

// The commands every window knows: Done (the OK key, Escape, Back) and Cancel. The soft keys and
// the menu items carry the program's own command numbers (resources/resource_ids.h).
enum StandardCommand : int {
    kDoneCommand = 1,
    kCancelCommand = 2,
};

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
