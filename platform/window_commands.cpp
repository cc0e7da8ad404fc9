#include "platform/window_commands.h"

#include <QCoreApplication>
#include <memory>

namespace mv {

bool PostCommand(QObject* window, int command, int notification) {
    if (window == nullptr)
        return false;
    // The event queue takes the event over.
    auto event = std::make_unique<CommandEvent>(command, notification);
    QCoreApplication::postEvent(window, event.release());
    return true;
}

bool SendCommand(QObject* window, int command, int notification) {
    if (window == nullptr)
        return false;
    CommandEvent event(command, notification);
    return QCoreApplication::sendEvent(window, &event);
}

const CommandEvent* AsCommand(const QEvent* event) {
    return event != nullptr && event->type() == QEvent::Type(kCommandEventType)
               ? static_cast<const CommandEvent*>(event)
               : nullptr;
}

} // namespace mv
