#pragma once
// Commands: what a soft key, a menu item, the Done key or a tapped control asks of a window. The
// window hands its CommandHandler to whatever gives commands; each command then runs from the
// event loop once the event that gave it is over (a menu item once its menu has closed), so
// commands run one at a time and never inside a menu or a key press.

#include <functional>

class QObject;

namespace mv {

// The commands every window knows: Done (the OK key, Escape, Back) and Cancel. The soft keys and
// the menu items carry the program's own command numbers (resources/resource_ids.h).
enum StandardCommand : int {
    kDoneCommand = 1,
    kCancelCommand = 2,
};

using CommandHandler = std::function<void(int command)>;

// Calls handler(command) from the event loop of receiver's thread; nothing runs when receiver is
// gone by then.
void QueueCommand(QObject* receiver, const CommandHandler& handler, int command);

} // namespace mv
