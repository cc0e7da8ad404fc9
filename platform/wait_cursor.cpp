#include "platform/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace mv {

WaitCursor::WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    shown_ = true;
}

WaitCursor::~WaitCursor() {
    if (shown_)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace mv
