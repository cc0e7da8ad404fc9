#include "platform/window_commands.h"

#include <QMetaObject>
#include <QObject>

namespace mv {

void QueueCommand(QObject* receiver, const CommandHandler& handler, int command) {
    if (receiver == nullptr || !handler)
        return;
    QMetaObject::invokeMethod(
        receiver, [handler, command] { handler(command); }, Qt::QueuedConnection);
}

} // namespace mv
