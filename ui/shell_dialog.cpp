#include "ui/shell_dialog.h"

#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/open_url.h"
#include "resources/program_resources.h"
#include "ui/dialog_units.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <utility>

namespace mv {

namespace {

constexpr int kTitleCapacity = 128; // the title buffer, terminator included
constexpr int kBoldWeight = 700;

// The Escape key and the phone's back key are the Done button.
class DoneKeyFilter final : public QObject {
public:
    DoneKeyFilter(QObject* parent, CommandHandler onCommand)
        : QObject(parent), onCommand_(std::move(onCommand)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Escape && key != Qt::Key_Back)
            return false;
        if (event->type() == QEvent::KeyPress)
            QueueCommand(watched, onCommand_, kDoneCommand);
        event->accept();
        return true;
    }

private:
    CommandHandler onCommand_;
};

void FillOwnersArea(QDialog* dialog) {
    QWidget* owner = dialog->parentWidget() != nullptr ? dialog->parentWidget()->window() : nullptr;
    if (owner != nullptr && owner->isFullScreen()) {
        dialog->setWindowState(dialog->windowState() | Qt::WindowFullScreen);
        return;
    }
    if (owner != nullptr) {
        dialog->setGeometry(owner->geometry());
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dialog->setGeometry(screen->availableGeometry());
}

} // namespace

QWidget* CreateSoftKeyBar(QWidget* window, int barId, const CommandHandler& onCommand) {
    const std::optional<SoftKeyBarDescription> description = FindSoftKeyBar(barId);
    if (!description)
        return nullptr;
    return CreateSoftKeyBarWidget(window, *description, onCommand);
}

bool InitShellDialog(ShellDialog* dialog, int barId) {
    if (dialog == nullptr)
        return false;
    FillOwnersArea(dialog);
    const CommandHandler run = [dialog](int command) { dialog->RunCommand(command); };
    dialog->installEventFilter(new DoneKeyFilter(dialog, run)); // owned by the dialog
    return CreateSoftKeyBar(dialog, barId, run) != nullptr;
}

void DrawDialogHeader(QWidget* dialog) {
    const DialogDpi dpi = WidgetDpi(dialog);
    const int32_t band = ScaleLength(24, dpi.y);
    const int32_t lineY = band - 1;
    const int32_t lineWidth = (dpi.y + 48) / 96;
    // The band runs across the whole dialog; the window clips it anyway.
    const int32_t width = dialog->width();

    QPainter painter(dialog);
    QFont bold = painter.font();
    bold.setWeight(QFont::Weight(kBoldWeight));
    painter.save();
    painter.setFont(bold);
    painter.setPen(dialog->palette().color(QPalette::Highlight));
    const int32_t inset = ScaleLength(9, dpi.x);
    const QString title = dialog->windowTitle().left(kTitleCapacity - 1);
    painter.drawText(QRect(inset, 0, width - inset, lineY),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.restore();

    // A wide line is centred on y, an even width's extra pixel going above it.
    painter.fillRect(QRect(0, lineY - lineWidth / 2, width, lineWidth), Qt::black);
}

void KeepOwnerEnabled(QWidget* dialog) {
    if (QWidget* owner = dialog->parentWidget())
        owner->setEnabled(true);
}

void ShowHelp(QStringView topic) {
    QUrl url =
        QUrl::fromLocalFile(InstalledDataFolder() + QStringLiteral("help/Marovellastrine.htm"));
    url.setFragment(topic.toString());
    OpenExternalUrl(url);
}

void OpenUrl(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid())
        OpenExternalUrl(url);
}

ShellDialog::ShellDialog(QWidget* owner, QStringView helpTopic, TitleBand titleBand)
    : QDialog(owner), helpTopic_(helpTopic), titleBand_(titleBand) {}

void ShellDialog::paintEvent(QPaintEvent*) {
    KeepOwnerEnabled(this);
    if (titleBand_ == TitleBand::Drawn)
        DrawDialogHeader(this);
}

void ShellDialog::closeEvent(QCloseEvent* event) {
    done(int(DialogResult::Closed));
    event->accept();
}

void ShellDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 || event->key() == Qt::Key_Help) {
        ShowHelp(helpTopic_);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace mv
