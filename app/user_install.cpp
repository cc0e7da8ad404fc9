#include "app/user_install.h"

#include "app/settings.h"
#include "platform/file_write.h"
#include "platform/folders.h"

#include <QDir>
#include <cerrno>

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

void SetFailure(InstallFailure* failure, const QString& path, int systemError) {
    if (failure != nullptr)
        *failure = InstallFailure{QDir::cleanPath(path), systemError};
}

bool FillStaging(const QString& staging, const QString& installedSkinsFolder,
                 const QString& skinsFolderShown, InstallFailure* failure) {
    const QStringList skins = ListFiles(installedSkinsFolder, QStringLiteral("default_*.scs"));
    if (skins.isEmpty()) {
        SetFailure(failure, installedSkinsFolder, ENOENT);
        return false;
    }
    const QString skinsFolder = staging + QLatin1String("/Skins/");
    int error = 0;
    if (!MakePrivateFolderPath(skinsFolder, &error)) {
        SetFailure(failure, skinsFolderShown, error);
        return false;
    }
    for (const QString& name : skins) {
        if (!CopyFileAtomically(installedSkinsFolder + name, skinsFolder + name, kMaxSkinBytes,
                                &error)) {
            SetFailure(failure, skinsFolderShown + name, error);
            return false;
        }
    }
    return true;
}

} // namespace

bool InstallPerUserFiles(InstallFailure* failure) {
    return InstallPerUserFilesFrom(InstalledDataFolder() + QLatin1String("skins/"), failure);
}

bool InstallPerUserFilesFrom(const QString& installedSkinsFolder, InstallFailure* failure) {
    QString perUser = PerUserFolder();
    if (ReadPathAttributes(perUser).exists) {
        if (ReadPathAttributes(perUser).directory)
            return true;
        SetFailure(failure, perUser, ENOTDIR);
        return false;
    }
    const QString skinsFolderShown = perUser + QLatin1String("Skins/");
    perUser.chop(1); // no trailing separator, for the rename
    const QString parent = perUser.left(perUser.lastIndexOf(QLatin1Char('/')) + 1);
    int error = 0;
    if (!MakePrivateFolderPath(parent, &error)) {
        SetFailure(failure, parent, error);
        return false;
    }
    RemoveAbandonedStaging(parent);
    // The folder is filled under another name and renamed into place once complete: a start that
    // is interrupted half-way leaves no per-user folder, so the next start installs again.
    QString staging;
    if (!MakeUniqueFolder(parent, kStagingPrefix, staging)) {
        SetFailure(failure, parent, errno);
        return false;
    }
    if (!FillStaging(staging, installedSkinsFolder, skinsFolderShown, failure)) {
        RemoveFolderTree(staging);
        return false;
    }
    bool alreadyThere = false;
    if (RenameNoReplace(staging, perUser, alreadyThere))
        return true;
    SetFailure(failure, perUser, errno);
    RemoveFolderTree(staging);
    return alreadyThere;
}

} // namespace mv
