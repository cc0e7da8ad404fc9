#include "platform/soft_key_bar.h"

#include "platform/window_commands.h"

#include <QBoxLayout>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace mv {

namespace {

constexpr char kKeyCommandProperty[] = "mvKeyCommand";

QPushButton* MakeKey(QWidget* bar, QWidget* window, const SoftKeyDescription& key) {
    auto* button = new QPushButton(key.label, bar); // owned by the bar
    button->setProperty(kKeyCommandProperty, key.command);
    button->setFocusPolicy(Qt::NoFocus); // keys act on the window, they never take its focus
    const QPointer<QWidget> target(window);
    if (key.menu.empty()) {
        const int command = key.command;
        QObject::connect(button, &QPushButton::clicked, bar,
                         [target, command] { PostCommand(target.data(), command); });
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
        const int command = item.command;
        QObject::connect(action, &QAction::triggered, bar,
                         [target, command] { PostCommand(target.data(), command); });
    }
    button->setMenu(menu);
    return button;
}

} // namespace

QWidget* CreateSoftKeyBarWidget(QWidget* window, const SoftKeyBarDescription& description) {
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
            row->addWidget(MakeKey(bar, window, *key), 1);
        else
            row->addStretch(1);
    }
    if (QLayout* layout = window->layout())
        layout->addWidget(bar);
    bar->setVisible(!empty);
    return bar;
}

QMenu* SoftKeyMenu(QWidget* bar, int keyCommand) {
    if (bar == nullptr)
        return nullptr;
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        if (button->property(kKeyCommandProperty).toInt() == keyCommand)
            return button->menu();
    }
    return nullptr;
}

bool EnableMenuCommand(QMenu* menu, int command, bool enabled) {
    if (menu == nullptr)
        return false;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == command) {
            action->setEnabled(enabled);
            return true;
        }
    }
    return false;
}

} // namespace mv
