#include "platform/message_box.h"

#include <QMessageBox>
#include <utility>

namespace mv {

namespace {

MessageBoxResponder& Responder() {
    static MessageBoxResponder responder;
    return responder;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Exclamation:
    case MessageIcon::Warning:
        break;
    }
    return QMessageBox::Warning;
}

} // namespace

DialogResult ShowMessageBox(QWidget* owner, const QString& text, MessageIcon icon,
                            MessageButtons buttons) {
    if (Responder())
        return Responder()(MessageBoxRequest{owner, text, icon, buttons});

    const QMessageBox::StandardButtons qtButtons = buttons == MessageButtons::OkCancel
                                                       ? QMessageBox::Ok | QMessageBox::Cancel
                                                       : QMessageBox::Ok;
    QMessageBox box(QtIcon(icon), QString::fromUtf16(kProgramTitle), text, qtButtons, owner);
    box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    box.setEscapeButton(buttons == MessageButtons::OkCancel ? QMessageBox::Cancel
                                                            : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? DialogResult::Ok : DialogResult::Cancel;
}

DialogResult ToDialogResult(int execResult) {
    switch (execResult) {
    case int(DialogResult::Ok):
        return DialogResult::Ok;
    case int(DialogResult::Closed):
        return DialogResult::Closed;
    default:
        return DialogResult::Cancel;
    }
}

void SetMessageBoxResponder(MessageBoxResponder responder) {
    Responder() = std::move(responder);
}

} // namespace mv
