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

// Dialog results shared by message boxes, dialogs and the commands that end them.
enum DialogResult : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDCLOSED = 16, // a dialog ended by a close request
};

struct MessageBoxRequest {
    QWidget* owner = nullptr; // none: a box of its own (start-up)
    QString text;
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows the box and returns IDOK or IDCANCEL (a box closed without a choice counts as Cancel,
// or OK when OK is its only button).
int ShowMessageBox(QWidget* owner, const QString& text, MessageIcon icon,
                   MessageButtons buttons = MessageButtons::Ok);

// Tests: every later box is handed to `responder` instead of being shown, and its answer is the
// result. An empty responder shows boxes again.
using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxResponder(MessageBoxResponder responder);

} // namespace mv
