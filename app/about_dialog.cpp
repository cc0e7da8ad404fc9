#include "app/about_dialog.h"

#include "platform/message_box.h"
#include "resources/program_icon.h"
#include "resources/program_resources.h"
#include "resources/resource_ids.h"
#include "ui/dialog_controls.h"
#include "ui/shell_dialog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>

namespace mv {

namespace {

// Controls of template 211 that only show text; rectangles in dialog units.
struct TextControl {
    int controlId;
    QRect units;
    const char16_t* text;
};

constexpr TextControl kTextControls[] = {
    {IDC_ABOUT_TEV, QRect(52, 28, 18, 10), u"TEV"},
    {IDC_ABOUT_NAME, QRect(78, 28, 60, 10), u"Marovellastrine"},
    {IDC_ABOUT_HEADER, QRect(7, 3, 146, 36), u""},
    {IDC_ABOUT_VERSION_LABEL, QRect(7, 42, 31, 8), u"Version:"},
    {IDC_ABOUT_VERSION, QRect(41, 42, 108, 8), u"1.0"},
    {IDC_ABOUT_AUTHOR_LABEL, QRect(7, 50, 31, 8), u"Author:"},
    {IDC_ABOUT_AUTHOR, QRect(41, 50, 108, 8), u"TEV Software"},
    {IDC_ABOUT_WEB_LABEL, QRect(7, 58, 31, 8), u"Web:"},
    {IDC_ABOUT_LINK, QRect(41, 58, 108, 8), u"www.tev.example"},
};
constexpr QRect kIconUnits(67, 5, 20, 20);
constexpr QRect kMarkUnits(70, 30, 6, 6);
constexpr int32_t kIconPixels = 32; // at 96 dpi

// A static control that reports taps to its dialog as a command with its control number.
class TapLabel final : public QLabel {
public:
    TapLabel(ShellDialog* dialog, QWidget* parent) : QLabel(parent), dialog_(dialog) {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            QueueCommand(
                dialog_, [dialog = dialog_](int command) { dialog->RunCommand(command); },
                ControlId(this));
    }

private:
    ShellDialog* dialog_;
};

void PaintWhiteBackground(QWidget* control) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, Qt::white);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

QLabel* AddLabel(QWidget* client, ShellDialog* dialog, int controlId, const QRect& rect) {
    QLabel* label = controlId == IDC_ABOUT_LINK ? new TapLabel(dialog, client) // owned by client
                                                : new QLabel(client);          // owned by client
    SetControlId(label, controlId);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(rect);
    return label;
}

class AboutDialog final : public ShellDialog {
public:
    AboutDialog(QWidget* owner, DialogDpi dpi, const QFont& boldFont)
        : ShellDialog(owner, u"dialog_about", TitleBand::None), dpi_(dpi),
          client_(new QWidget(this)) { // client owned by the dialog
        setWindowTitle(QStringLiteral("About"));
        setFont(DialogFont(dpi));
        auto* layout = new QVBoxLayout(this); // owned by the dialog
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(client_, 1);

        AddControls(boldFont);
        InitShellDialog(this, IDR_EMPTY_BAR); // closed with Done; the empty bar shows nothing
        LayoutAboutBox(this, dpi_);
        client_->installEventFilter(this);
    }

    void RunCommand(int command) override {
        if (command == kDoneCommand)
            done(int(DialogResult::Ok));
        else if (command == IDC_ABOUT_LINK)
            OpenUrl(QString::fromUtf16(kAboutLinkTarget));
    }

protected:
    // A new client size (the screen turned or changed its resolution) lays the box out again.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == client_ && event->type() == QEvent::Resize)
            LayoutAboutBox(this, dpi_);
        return ShellDialog::eventFilter(watched, event);
    }

private:
    void AddControls(const QFont& boldFont) {
        const int32_t iconSide = ScaleLength(kIconPixels, dpi_.y);
        QLabel* icon =
            AddLabel(client_, this, IDC_ABOUT_ICON, DialogUnitsToPixels(kIconUnits, dpi_));
        icon->setAlignment(Qt::AlignCenter);
        icon->setPixmap(QPixmap::fromImage(DrawProgramIcon(iconSide)));
        PaintWhiteBackground(icon);

        // The 9 x 9 mark grows by whole pixels only, so its edges stay sharp.
        const int32_t markScale = std::max(1, dpi_.y / 96);
        const QImage mark = DrawVendorMark();
        QLabel* markLabel =
            AddLabel(client_, this, IDC_ABOUT_MARK, DialogUnitsToPixels(kMarkUnits, dpi_));
        markLabel->setPixmap(QPixmap::fromImage(mark.scaled(mark.size() * markScale)));

        for (const TextControl& control : kTextControls) {
            QLabel* label = AddLabel(client_, this, control.controlId,
                                     DialogUnitsToPixels(control.units, dpi_));
            label->setText(QString::fromUtf16(control.text));
        }
        for (int controlId : {IDC_ABOUT_TEV, IDC_ABOUT_NAME}) {
            QLabel* label = FindControl<QLabel>(this, controlId);
            label->setFont(boldFont);
            PaintWhiteBackground(label);
        }
        // The platform's fonts may set the name wider than the template allows for; the name is
        // last in its row, so it grows to the right instead of being cut off.
        QLabel* name = FindControl<QLabel>(this, IDC_ABOUT_NAME);
        name->resize(std::max(name->width(), name->sizeHint().width()), name->height());
        markLabel->raise();

        QLabel* header = FindControl<QLabel>(this, IDC_ABOUT_HEADER);
        PaintWhiteBackground(header);
        header->lower(); // behind the name group and the icon

        QLabel* link = FindControl<QLabel>(this, IDC_ABOUT_LINK);
        QFont linkFont = link->font();
        linkFont.setUnderline(true);
        link->setFont(linkFont);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(palette);
    }

    DialogDpi dpi_;
    QWidget* client_;
};

} // namespace

DialogResult RunAboutDialog(QWidget* owner, const QFont& boldFont) {
    const std::unique_ptr<QDialog> dialog = MakeAboutDialog(owner, WidgetDpi(owner), boldFont);
    return ToDialogResult(dialog->exec());
}

std::unique_ptr<QDialog> MakeAboutDialog(QWidget* owner, DialogDpi dpi, const QFont& boldFont) {
    return std::make_unique<AboutDialog>(owner, dpi, boldFont);
}

void LayoutAboutBox(QWidget* dialog, DialogDpi dpi) {
    QWidget* tev = FindControl(dialog, IDC_ABOUT_TEV);
    QWidget* mark = FindControl(dialog, IDC_ABOUT_MARK);
    QWidget* name = FindControl(dialog, IDC_ABOUT_NAME);
    QWidget* header = FindControl(dialog, IDC_ABOUT_HEADER);
    QWidget* icon = FindControl(dialog, IDC_ABOUT_ICON);
    if (tev == nullptr || mark == nullptr || name == nullptr || header == nullptr ||
        icon == nullptr)
        return;

    const int32_t clientWidth = header->parentWidget()->width();
    const int32_t mid = clientWidth / 2;
    const QRect tevRect = tev->geometry();
    const QRect markRect = mark->geometry();
    const QRect nameRect = name->geometry();

    // QRect::right() is the last pixel inside; the group's right edge is the one after it.
    const int32_t groupWidth = nameRect.right() + 1 - tevRect.left();
    const int32_t x0 = mid - groupWidth / 2;
    tev->move(x0, tevRect.top());
    mark->move(x0 + (markRect.left() - tevRect.left()), markRect.top());
    name->move(x0 + (nameRect.left() - tevRect.left()), nameRect.top());

    header->resize(clientWidth - ScaleLength(21, dpi.x), ScaleLength(58, dpi.y));

    // Centred at every resolution (the box only ever reads well with the icon over the name).
    icon->move(mid - icon->width() / 2, icon->y());
}

} // namespace mv
