#pragma once
// The small shell operations that the main window, Preferences, About and the skin picker share:
// soft-key bars from their resource numbers, the full-screen dialog set-up, the title band, the
// owner kept enabled, help topics and web addresses.

#include <QString>
#include <QStringView>

class QDialog;
class QWidget;

namespace mv {

// The bar described by resource `barId` (resources/resource_ids.h), docked at the bottom of
// `window`; null when there is no such bar or it can't be made.
QWidget* CreateSoftKeyBar(QWidget* window, int barId);

// Makes `dialog` a full-screen dialog of the program: the owner's whole area, the Escape and Back
// keys sending command 1 (Done), then the soft-key bar `barId`. False when the bar can't be made.
bool InitShellDialog(QDialog* dialog, int barId);

// Paints the title band at the top of `dialog`: the window title in bold in the highlight colour
// and a black line under it, sized for ScreenDpi(). Call from the dialog's paint event.
void DrawDialogHeader(QWidget* dialog);

// Enables the dialog's owner window if it still exists.
void KeepOwnerEnabled(QWidget* dialog);

// Opens the help page Marovellastrine.htm at `topic` in the user's browser; failures are ignored.
void ShowHelp(QStringView topic);

// Opens a web address in the user's browser; failures are ignored.
void OpenUrl(const QString& address);

} // namespace mv
