#include "app/user_install.h"

#include "app/settings.h"
#include "platform/file_write.h"
#include "platform/folders.h"

#include <QDir>

namespace mv {

namespace {

constexpr size_t kMaxSkinBytes = 64u << 20;
const QLatin1String kStagingPrefix(".Marovellastrine-install-");

// Folders of installations that were interrupted (a crash, a power cut) before their rename.
void RemoveAbandonedStaging(const QString& parent) {
    const QStringList names = QDir(parent).entryList({kStagingPrefix + QLatin1Char('*')},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names)
        RemoveFolderTree(parent + name);
}

bool FillStaging(const QString& staging, const QString& installedSkinsFolder) {
    const QStringList skins = ListFiles(installedSkinsFolder, QStringLiteral("default_*.scs"));
    const QString skinsFolder = staging + QLatin1String("/Skins/");
    if (skins.isEmpty() || !MakePrivateFolderPath(skinsFolder))
        return false;
    for (const QString& name : skins) {
        if (!CopyFileAtomically(installedSkinsFolder + name, skinsFolder + name, kMaxSkinBytes))
            return false;
    }
    return true;
}

} // namespace

bool InstallPerUserFiles() {
    return InstallPerUserFilesFrom(InstalledDataFolder() + QLatin1String("skins/"));
}

bool InstallPerUserFilesFrom(const QString& installedSkinsFolder) {
    QString perUser = PerUserFolder();
    if (ReadPathAttributes(perUser).exists)
        return ReadPathAttributes(perUser).directory;
    perUser.chop(1); // no trailing separator, for the rename
    const QString parent = perUser.left(perUser.lastIndexOf(QLatin1Char('/')) + 1);
    if (!MakePrivateFolderPath(parent))
        return false;
    RemoveAbandonedStaging(parent);
    // The folder is filled under another name and renamed into place once complete: a start that
    // is interrupted half-way leaves no per-user folder, so the next start installs again.
    QString staging;
    if (!MakeUniqueFolder(parent, kStagingPrefix, staging))
        return false;
    bool alreadyThere = false;
    const bool installed = FillStaging(staging, installedSkinsFolder) &&
                           RenameNoReplace(staging, perUser, alreadyThere);
    if (!installed)
        RemoveFolderTree(staging);
    return installed || alreadyThere;
}

} // namespace mv
