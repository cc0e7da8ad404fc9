#pragma once
// The small shell operations that the main window, Preferences, About and the skin picker share:
// soft-key bars from their resource numbers, the full-screen dialog set-up, the title band, the
// owner kept enabled, help topics and web addresses.

#include "platform/screen.h"
#include "platform/window_commands.h"

#include <QDialog>
#include <QString>
#include <QStringView>

class QWidget;

namespace mv {

// The bar described by resource `barId` (resources/resource_ids.h), docked at the bottom of
// `window`, its commands given to `onCommand`; null when there is no such bar or it can't be made.
QWidget* CreateSoftKeyBar(QWidget* window, int barId, const CommandHandler& onCommand);

// Paints the title band at the top of `dialog`: the window title in bold in the highlight colour
// and a black line under it, sized for ScreenDpi(). Call from the dialog's paint event.
void DrawDialogHeader(QWidget* dialog);

// Enables the dialog's owner window if it still exists.
void KeepOwnerEnabled(QWidget* dialog);

// Opens the help page Marovellastrine.htm at `topic` in the user's browser; failures are ignored.
void ShowHelp(QStringView topic);

// Opens a web address in the user's browser; failures are ignored.
void OpenUrl(const QString& address);

// What the program's dialogs share: a close request ends the dialog with DialogResult::Closed, F1
// (or the Help key) opens its help topic, and each paint keeps the owner enabled and, where the
// dialog has one, draws the title band.
class ShellDialog : public QDialog {
public:
    enum class TitleBand { None, Drawn };
    // `helpTopic` must outlive the dialog (a literal).
    ShellDialog(QWidget* owner, QStringView helpTopic, TitleBand titleBand);

    // Runs a command at once: Done, Cancel or one of the dialog's own. Its keys queue theirs, so
    // each runs from the event loop once the key press is over.
    virtual void RunCommand(int command) = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QStringView helpTopic_;
    TitleBand titleBand_;
};

// Makes `dialog` a full-screen dialog of the program: the owner's whole area, the Escape and Back
// keys giving it Done, then the soft-key bar `barId` giving it its commands. False when the bar
// can't be made.
bool InitShellDialog(ShellDialog* dialog, int barId);

} // namespace mv
