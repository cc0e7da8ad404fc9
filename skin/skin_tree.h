#pragma once
// The skin picker's tree: the file system from its root, folders first and then skin files shown
// without their extension, each folder read only when it is first opened.

#include <QIcon>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>

class QTreeWidget;
class QTreeWidgetItem;

namespace mv {

// The extensions that count as skin files, each exactly 4 characters with the dot.
inline constexpr std::array<std::u16string_view, 1> kSkinExtensions = {u".scs"};
// The extension cut from the names shown and put back when a path is built.
inline constexpr int kHiddenExtension = 0;
// The kind of a folder item; a file's kind is the index of its extension.
inline constexpr int kFolderKind = -1;

struct SkinTree {
    QTreeWidget* tree = nullptr; // owned by the picker
    bool viewAll = false;        // hidden entries are listed too
    // A hidden folder on this path is listed even when hidden entries are not, so the current
    // skin can be shown where it lies (the per-user skins folder is under ~/.local).
    QString currentPath;
    std::array<QIcon, kSkinExtensions.size()> extensionIcons; // icon i for extension i
};

// The index of the skin extension that `name` ends with (letter case ignored), or -1.
int MatchExtension(QStringView name);

// Whether FillFolder would list anything in `folder`; stops at the first entry that counts.
bool FolderHasEntries(const SkinTree& skinTree, const QString& folder);

// Lists `folder` ("" for the root) under `parent` (the tree's invisible root item for the top
// level): folders with an expand button when they hold something, then skin files, sorted.
void FillFolder(SkinTree& skinTree, const QString& folder, QTreeWidgetItem* parent);

// Folders before files; otherwise the shown names in the user's locale.
int CompareTreeItems(const QTreeWidgetItem& a, const QTreeWidgetItem& b);

// Reads a folder item's entries the first time it is opened; later calls do nothing.
void ExpandFolderOnce(SkinTree& skinTree, QTreeWidgetItem* item);

// Fills the top level, then opens the folders of `currentPath` and selects its file, or the
// deepest folder whose name matched exactly when the file is not there.
void FillRootAndSelect(SkinTree& skinTree, const std::optional<QString>& currentPath);

// The item's full path from the root, "/" before each name, a skin file with its extension as
// kSkinExtensions spells it.
QString BuildItemPath(const QTreeWidgetItem* item);

// kFolderKind for a folder, otherwise the file's extension index.
int ItemKind(const QTreeWidgetItem* item);

} // namespace mv
