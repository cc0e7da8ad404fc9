#pragma once
// Soft-key bars: a bar along the bottom of a window with a left key and a right key; a key with a
// menu pops it up. Keys and menu items queue their command for the window's handler
// (window_commands.h). A bar whose keys are both empty shows nothing.

#include "platform/window_commands.h"

#include <QString>
#include <vector>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace mv {

struct MenuItemDescription {
    int command = 0; // 0: a separator
    QString text;
};

struct SoftKeyDescription {
    int command = 0; // 0: no key on this side
    QString label;
    std::vector<MenuItemDescription> menu; // empty: the key sends its command
};

struct SoftKeyBarDescription {
    SoftKeyDescription left;
    SoftKeyDescription right;
};

// Makes the bar as a child of `window` and docks it at the window's bottom edge (the window's
// layout, if it has one, gets it as its last item); its keys and menu items give their commands
// to `onCommand`. Null when it can't be made.
QWidget* CreateSoftKeyBarWidget(QWidget* window, const SoftKeyBarDescription& description,
                                const CommandHandler& onCommand);
// The bar's key with this command; null when it has none.
QPushButton* SoftKey(QWidget* bar, int keyCommand);
// The popup menu of the bar's key with this command; null when that key has none.
QMenu* SoftKeyMenu(QWidget* bar, int keyCommand);
// The menu's item with this command; null when it has none.
QAction* MenuCommand(QMenu* menu, int command);
// Enables or greys the menu item with this command; false when the menu has no such item.
bool EnableMenuCommand(QMenu* menu, int command, bool enabled);

} // namespace mv
