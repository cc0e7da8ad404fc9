#pragma once
// The About box: the program's name, version, author and the link to its web page.

#include "app/app_state.h"
#include "ui/dialog_units.h"

#include <memory>

class QDialog;
class QWidget;

namespace mv {

// Runs the dialog modally, owned by `owner`; returns IDOK, IDCANCEL or IDCLOSED.
int RunAboutDialog(AppState& state, QWidget* owner);

// The About box set up for widget pixels at `dpi`, not yet shown. RunAboutDialog makes it with
// the owner's WidgetDpi.
std::unique_ptr<QDialog> MakeAboutDialog(AppState& state, QWidget* owner, DialogDpi dpi);

// Centres the name group and the icon in the client area and stretches the white header box
// across it. Runs again whenever the client area changes size (a rotated screen).
void LayoutAboutBox(QWidget* dialog, DialogDpi dpi);

// Where the link of the About box leads.
inline constexpr char16_t kAboutLinkTarget[] =
    u"https://www.tev.example/windows-mobile/marovellastrine/";

} // namespace mv
