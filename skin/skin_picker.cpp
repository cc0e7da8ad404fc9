#include "skin/skin_picker.h"

#include "platform/file_icons.h"
#include "platform/folder_entries.h"
#include "platform/message_box.h"
#include "platform/wait_cursor.h"
#include "resources/resource_ids.h"
#include "skin/skin_download.h"
#include "skin/skin_tree.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"
#include "ui/shell_dialog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace mv {

namespace {

// The template's size in dialog units; the shell then gives the dialog the owner's whole area.
constexpr QRect kTemplateUnits(0, 0, 156, 129);
constexpr int kNothingChosen = 1;
constexpr int kFileChosen = 0;

class SkinPickerDialog final : public ShellDialog {
public:
    // viewAll: hidden entries are listed too.
    SkinPickerDialog(QWidget* owner, bool viewAll);
    ~SkinPickerDialog() override;

    // The shell's set-up, the icons, the top level and the current skin selected; false when
    // the shell's part fails.
    bool Initialise(const std::optional<QString>& currentPath);

    // The file chosen with Done.
    const QString& PickedPath() const { return pickedPath_; }

    void RunCommand(int command) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // kFileChosen after writing a skin file's path and ending the dialog with DialogResult::Ok;
    // otherwise kNothingChosen (a folder, or no item).
    int ChooseTreeItem(QTreeWidgetItem* item);
    void HandleDone();
    void HandleEnter();
    void HandleTap(const QPoint& position);
    QTreeWidgetItem* SelectedItem() const;

    SkinTree skinTree_;
    QString pickedPath_;
};

SkinPickerDialog::SkinPickerDialog(QWidget* owner, bool viewAll)
    : ShellDialog(owner, u"dialog_pick_skin", TitleBand::Drawn) {
    setWindowTitle(QStringLiteral("Pick Skin"));
    const DialogDpi dpi = WidgetDpi(this);
    setFont(DialogFont(dpi));
    resize(DialogUnitsToPixels(kTemplateUnits, dpi).size());

    // The tree fills the dialog below the title band; the soft-key bar docks under it.
    auto* layout = new QVBoxLayout(this); // owned by the dialog
    layout->setContentsMargins(0, ScaleLength(24, dpi.y), 0, 0);
    layout->setSpacing(0);
    auto* tree = new QTreeWidget(this); // owned by the dialog
    SetControlId(tree, IDC_SKIN_TREE);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setDragEnabled(false);
    tree->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(tree);

    skinTree_.tree = tree;
    skinTree_.viewAll = viewAll;

    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { ExpandFolderOnce(skinTree_, item); });
}

SkinPickerDialog::~SkinPickerDialog() {
    // Tearing the tree down with many folders open takes a moment.
    const WaitCursor waitCursor;
    skinTree_.tree->clear();
}

bool SkinPickerDialog::Initialise(const std::optional<QString>& currentPath) {
    if (!InitShellDialog(this, IDR_PICKER_BAR))
        return false;
    {
        const WaitCursor waitCursor;
        for (size_t i = 0; i < kSkinExtensions.size(); ++i) {
            const std::u16string_view extension = kSkinExtensions[i];
            skinTree_.extensionIcons[i] =
                FileTypeIcon(QString::fromUtf16(extension.data(), qsizetype(extension.size())));
        }
    }
    FillRootAndSelect(skinTree_, currentPath);
    return true;
}

void SkinPickerDialog::RunCommand(int command) {
    switch (command) {
    case kDoneCommand:
        HandleDone();
        break;
    case kCancelCommand:
        done(int(DialogResult::Cancel));
        break;
    case IDM_GET_SKINS:
        OpenSkinDownloadPage(this);
        break;
    }
}

bool SkinPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == skinTree_.tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            HandleEnter();
            return true;
        }
    }
    if (watched == skinTree_.tree->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            HandleTap(mouse->position().toPoint());
    }
    return ShellDialog::eventFilter(watched, event);
}

int SkinPickerDialog::ChooseTreeItem(QTreeWidgetItem* item) {
    if (item == nullptr || ItemKind(item) == kFolderKind)
        return kNothingChosen;
    pickedPath_ = BuildItemPath(item);
    done(int(DialogResult::Ok));
    return kFileChosen;
}

void SkinPickerDialog::HandleDone() {
    if (ChooseTreeItem(SelectedItem()) == kNothingChosen)
        ShowMessageBox(this, QStringLiteral("Please select a file."), MessageIcon::Exclamation);
}

void SkinPickerDialog::HandleEnter() {
    QTreeWidgetItem* item = SelectedItem();
    if (ChooseTreeItem(item) == kNothingChosen && item != nullptr)
        item->setExpanded(!item->isExpanded());
}

void SkinPickerDialog::HandleTap(const QPoint& position) {
    QTreeWidget* tree = skinTree_.tree;
    QTreeWidgetItem* item = tree->itemAt(position);
    if (item == nullptr)
        return;
    // Only the icon and the label count, not the empty rest of the row or the expand button.
    const QRect cell = tree->visualItemRect(item);
    const int iconWidth = tree->iconSize().isValid()
                              ? tree->iconSize().width()
                              : tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
    const int margin = tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    const int labelWidth = tree->fontMetrics().horizontalAdvance(item->text(0));
    const int right = cell.left() + iconWidth + labelWidth + 4 * margin;
    if (position.x() >= cell.left() && position.x() < right)
        ChooseTreeItem(item);
}

QTreeWidgetItem* SkinPickerDialog::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = skinTree_.tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

} // namespace

std::optional<QString> PickSkin(const std::optional<QString>& currentPath, QWidget* owner) {
    std::optional<QString> picked;
    SkinPickerDialog dialog(owner, ViewAllFiles());
    if (dialog.Initialise(currentPath) && ToDialogResult(dialog.exec()) == DialogResult::Ok)
        picked = dialog.PickedPath();
    return picked;
}

} // namespace mv
