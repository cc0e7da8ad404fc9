#pragma once
// Message boxes: every one is modal, titled "TEV:: Marovellastrine", with one of four icons and
// OK (or OK and Cancel). They all go through ShowMessageBox, so tests can answer them instead of
// a person.

#include <QString>
#include <functional>

class QWidget;

namespace mv {

inline constexpr char16_t kProgramTitle[] = u"TEV:: Marovellastrine";

enum class MessageIcon { Exclamation, Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel };

// How a message box or a dialog ended. The numbers are what QDialog::exec() returns for them.
enum class DialogResult : int {
    Ok = 1,
    Cancel = 2,
    Closed = 16, // a close request ended the dialog
};

// The result a dialog's exec() returned; anything else (a dialog that could not start) is Cancel.
DialogResult ToDialogResult(int execResult);

struct MessageBoxRequest {
    QWidget* owner = nullptr; // none: a box of its own (start-up)
    QString text;
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows the box and returns Ok or Cancel (a box closed without a choice counts as Cancel, or Ok
// when OK is its only button).
DialogResult ShowMessageBox(QWidget* owner, const QString& text, MessageIcon icon,
                            MessageButtons buttons = MessageButtons::Ok);

// Tests: every later box is handed to `responder` instead of being shown, and its answer is the
// result. An empty responder shows boxes again.
using MessageBoxResponder = std::function<DialogResult(const MessageBoxRequest&)>;
void SetMessageBoxResponder(MessageBoxResponder responder);

} // namespace mv
