#pragma once
// The About box: the program's name, version, author and the link to its web page.

#include "platform/message_box.h"
#include "ui/dialog_units.h"

#include <memory>

class QDialog;
class QFont;
class QWidget;

namespace mv {

// Runs the dialog modally, owned by `owner`, with the program's name set in `boldFont`.
DialogResult RunAboutDialog(QWidget* owner, const QFont& boldFont);

// The About box set up for widget pixels at `dpi`, not yet shown. RunAboutDialog makes it with
// the owner's WidgetDpi.
std::unique_ptr<QDialog> MakeAboutDialog(QWidget* owner, DialogDpi dpi, const QFont& boldFont);

// Centres the name group and the icon in the client area and stretches the white header box
// across it. Runs again whenever the client area changes size (a rotated screen).
void LayoutAboutBox(QWidget* dialog, DialogDpi dpi);

// Where the link of the About box leads.
inline constexpr char16_t kAboutLinkTarget[] =
    u"https://www.tev.example/windows-mobile/marovellastrine/";

} // namespace mv
