#include "platform/soft_key_bar.h"

#include <QBoxLayout>
#include <QMenu>
#include <QPushButton>

namespace mv {

namespace {

constexpr char kKeyCommandProperty[] = "mvKeyCommand";

QPushButton* MakeKey(QWidget* bar, QWidget* window, const SoftKeyDescription& key,
                     const CommandHandler& onCommand) {
    auto* button = new QPushButton(key.label, bar); // owned by the bar
    button->setProperty(kKeyCommandProperty, key.command);
    button->setFocusPolicy(Qt::NoFocus); // keys act on the window, they never take its focus
    // The bar goes with the window, so the window is there whenever a key or an item fires.
    const auto queued = [window, onCommand](int command) {
        return [window, onCommand, command] { QueueCommand(window, onCommand, command); };
    };
    if (key.menu.empty()) {
        QObject::connect(button, &QPushButton::clicked, bar, queued(key.command));
        return button;
    }
    auto* menu = new QMenu(button); // owned by the key
    for (const MenuItemDescription& item : key.menu) {
        if (item.command == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setData(item.command);
        QObject::connect(action, &QAction::triggered, bar, queued(item.command));
    }
    button->setMenu(menu);
    return button;
}

} // namespace

QWidget* CreateSoftKeyBarWidget(QWidget* window, const SoftKeyBarDescription& description,
                                const CommandHandler& onCommand) {
    if (window == nullptr)
        return nullptr;
    auto* bar = new QWidget(window); // owned by the window
    bar->setObjectName(QStringLiteral("softKeyBar"));
    bar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); // its keys' height, no more
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const bool empty = description.left.command == 0 && description.right.command == 0;
    for (const SoftKeyDescription* key : {&description.left, &description.right}) {
        if (key->command != 0)
            row->addWidget(MakeKey(bar, window, *key, onCommand), 1);
        else
            row->addStretch(1);
    }
    if (QLayout* layout = window->layout())
        layout->addWidget(bar);
    bar->setVisible(!empty);
    return bar;
}

QPushButton* SoftKey(QWidget* bar, int keyCommand) {
    if (bar == nullptr)
        return nullptr;
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        if (button->property(kKeyCommandProperty).toInt() == keyCommand)
            return button;
    }
    return nullptr;
}

QMenu* SoftKeyMenu(QWidget* bar, int keyCommand) {
    const QPushButton* button = SoftKey(bar, keyCommand);
    return button != nullptr ? button->menu() : nullptr;
}

QAction* MenuCommand(QMenu* menu, int command) {
    if (menu == nullptr)
        return nullptr;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

bool EnableMenuCommand(QMenu* menu, int command, bool enabled) {
    QAction* action = MenuCommand(menu, command);
    if (action != nullptr)
        action->setEnabled(enabled);
    return action != nullptr;
}

} // namespace mv
