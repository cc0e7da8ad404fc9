#pragma once
// Answers the modal skin picker in tests: each time a picker opens, the next action runs on it
// from inside its own event loop; a picker with no action left, or an empty one, is cancelled.

#include "resources/resource_ids.h"
#include "ui/dialog_controls.h"
#include "ui/shell_dialog.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace mv::test {

using PickerAction = std::function<void(ShellDialog& picker, QTreeWidget& tree)>;

class PickerDriver {
public:
    explicit PickerDriver(std::deque<PickerAction> actions) : actions_(std::move(actions)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }
    int Openings() const { return openings_; }

private:
    void Poll() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* picker = dynamic_cast<ShellDialog*>(widget);
            if (picker == nullptr || !picker->isVisible() ||
                picker->windowTitle() != QStringLiteral("Pick Skin") ||
                picker->property("mvDriven").toBool())
                continue;
            picker->setProperty("mvDriven", true);
            ++openings_;
            const QPointer<ShellDialog> guard(picker);
            PickerAction action;
            if (!actions_.empty()) {
                action = std::move(actions_.front());
                actions_.pop_front();
            }
            if (action)
                action(*picker, *FindControl<QTreeWidget>(picker, IDC_SKIN_TREE));
            // An action that leaves the picker open has looked at it; end it here.
            if (guard && guard->isVisible())
                guard->RunCommand(kCancelCommand);
            return;
        }
    }

    std::deque<PickerAction> actions_;
    QTimer timer_;
    int openings_ = 0;
};

// Opens the folders of `path` in the tree and selects its item; false when it isn't listed.
inline bool SelectPath(QTreeWidget& tree, const QString& path) {
    QTreeWidgetItem* level = tree.invisibleRootItem();
    QTreeWidgetItem* found = nullptr;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        found = nullptr;
        for (int i = 0; i < level->childCount() && found == nullptr; ++i) {
            QTreeWidgetItem* child = level->child(i);
            if (child->text(0) == component || child->text(0) + ".scs" == component)
                found = child;
        }
        if (found == nullptr)
            return false;
        found->setExpanded(true); // fills the folder
        level = found;
    }
    tree.setCurrentItem(found);
    tree.scrollToItem(found);
    return true;
}

} // namespace mv::test
