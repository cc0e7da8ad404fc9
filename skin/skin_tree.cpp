#include "skin/skin_tree.h"

#include "platform/file_icons.h"
#include "platform/folder_entries.h"
#include "platform/locale_compare.h"
#include "platform/wait_cursor.h"

#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <vector>

namespace mv {

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QString ExtensionText(int index) {
    return QString::fromUtf16(kSkinExtensions[size_t(index)].data(),
                              qsizetype(kSkinExtensions[size_t(index)].size()));
}

QString EntryPath(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

bool IsOnCurrentPath(const SkinTree& skinTree, const QString& folderPath) {
    const QString& current = skinTree.currentPath;
    return current.size() > folderPath.size() && current.startsWith(folderPath) &&
           current[folderPath.size()] == QLatin1Char('/');
}

bool IsListed(const SkinTree& skinTree, const QString& folder, const FolderEntry& entry) {
    if (entry.hidden && !skinTree.viewAll &&
        !(entry.directory && IsOnCurrentPath(skinTree, EntryPath(folder, entry.name))))
        return false;
    return entry.directory || MatchExtension(entry.name) >= 0;
}

// The item's text as a path component: a skin file's name with its extension back on.
QString ComponentName(const QTreeWidgetItem& item) {
    const int kind = ItemKind(&item);
    return kind == kHiddenExtension ? item.text(0) + ExtensionText(kind) : item.text(0);
}

std::unique_ptr<QTreeWidgetItem> MakeItem(SkinTree& skinTree, const QString& folder,
                                          const FolderEntry& entry) {
    const QString path = EntryPath(folder, entry.name);
    auto item = std::make_unique<QTreeWidgetItem>();
    if (entry.directory) {
        item->setData(0, kKindRole, kFolderKind);
        item->setText(0, entry.name);
        item->setIcon(0, PathIcon(path));
        item->setChildIndicatorPolicy(FolderHasEntries(skinTree, path)
                                          ? QTreeWidgetItem::ShowIndicator
                                          : QTreeWidgetItem::DontShowIndicator);
        return item;
    }
    const int kind = MatchExtension(entry.name);
    item->setData(0, kKindRole, kind);
    item->setText(0, kind == kHiddenExtension ? entry.name.chopped(4) : entry.name);
    item->setIcon(0, skinTree.extensionIcons[size_t(kind)]);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    return item;
}

} // namespace

int MatchExtension(QStringView name) {
    if (name.size() < 4)
        return -1;
    const QStringView extension = name.last(4);
    for (size_t i = 0; i < kSkinExtensions.size(); ++i) {
        const std::u16string_view candidate = kSkinExtensions[i];
        if (CompareInLocale(extension, QStringView(candidate.data(), qsizetype(4))) == 0)
            return int(i);
    }
    return -1;
}

bool FolderHasEntries(const SkinTree& skinTree, const QString& folder) {
    FolderEnumeration enumeration(folder);
    FolderEntry entry;
    while (enumeration.Next(entry)) {
        if (IsListed(skinTree, folder, entry))
            return true;
    }
    return false;
}

void FillFolder(SkinTree& skinTree, const QString& folder, QTreeWidgetItem* parent) {
    const WaitCursor waitCursor;
    // The root is listed as "/", and its entries' paths begin with "/" + name.
    FolderEnumeration enumeration(folder.isEmpty() ? QStringLiteral("/") : folder);
    if (!enumeration.IsOpen())
        return;

    std::vector<std::unique_ptr<QTreeWidgetItem>> items;
    FolderEntry entry;
    while (enumeration.Next(entry)) {
        if (IsListed(skinTree, folder, entry))
            items.push_back(MakeItem(skinTree, folder, entry));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return CompareTreeItems(*a, *b) < 0; });

    skinTree.tree->setUpdatesEnabled(false);
    for (std::unique_ptr<QTreeWidgetItem>& item : items)
        parent->addChild(item.release()); // owned by the parent item from here on
    skinTree.tree->setUpdatesEnabled(true);
    skinTree.tree->viewport()->update();
}

int CompareTreeItems(const QTreeWidgetItem& a, const QTreeWidgetItem& b) {
    const bool aFolder = ItemKind(&a) == kFolderKind;
    const bool bFolder = ItemKind(&b) == kFolderKind;
    if (aFolder != bFolder)
        return aFolder ? -1 : 1;
    const int order = CompareInLocale(a.text(0), b.text(0));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void ExpandFolderOnce(SkinTree& skinTree, QTreeWidgetItem* item) {
    if (item == nullptr || ItemKind(item) != kFolderKind || item->data(0, kFilledRole).toBool())
        return;
    item->setData(0, kFilledRole, true);
    FillFolder(skinTree, BuildItemPath(item), item);
}

void FillRootAndSelect(SkinTree& skinTree, const std::optional<QString>& currentPath) {
    skinTree.currentPath = currentPath.value_or(QString());
    FillFolder(skinTree, QString(), skinTree.tree->invisibleRootItem());
    if (!currentPath.has_value())
        return;

    const QStringList components = currentPath->split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QTreeWidgetItem* level = skinTree.tree->invisibleRootItem();
    QTreeWidgetItem* lastFolder = nullptr;
    QTreeWidgetItem* target = nullptr;
    for (qsizetype c = 0; c < components.size() && level != nullptr; ++c) {
        const bool lastComponent = c + 1 == components.size();
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < level->childCount(); ++i) {
            QTreeWidgetItem* child = level->child(i);
            const bool folder = ItemKind(child) == kFolderKind;
            if (!folder && !lastComponent)
                break; // folders come first: no folder follows a file
            if (ComponentName(*child) != components[c])
                continue;
            if (folder) {
                ExpandFolderOnce(skinTree, child);
                child->setExpanded(true);
                lastFolder = child;
            }
            if (lastComponent)
                target = child;
            next = child;
            break;
        }
        level = next;
    }
    if (target == nullptr)
        target = lastFolder;
    if (target == nullptr)
        return;
    skinTree.tree->setCurrentItem(target);
    skinTree.tree->scrollToItem(target);
}

QString BuildItemPath(const QTreeWidgetItem* item) {
    QString path;
    for (; item != nullptr; item = item->parent())
        path.prepend(QLatin1Char('/') + ComponentName(*item));
    return path;
}

int ItemKind(const QTreeWidgetItem* item) {
    return item == nullptr ? kFolderKind : item->data(0, kKindRole).toInt();
}

} // namespace mv
