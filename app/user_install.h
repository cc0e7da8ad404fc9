#pragma once
// The one-time per-user installation: the first start of a user makes the per-user folder with
// "Skins/" and the default skins in it. While the folder exists this never runs again, so skins
// the user deleted stay deleted.

#include <QString>

namespace mv {

// Why an installation failed: the file or folder concerned and the system's reason (errno).
struct InstallFailure {
    QString path;
    int systemError = 0;
};

// Installs from the default skins installed with the program. True when the per-user folder
// exists afterwards (made now or earlier); otherwise `failure` (when given) says why not.
bool InstallPerUserFiles(InstallFailure* failure = nullptr);

// The same from a given folder of "default_*.scs" files (ends with "/").
bool InstallPerUserFilesFrom(const QString& installedSkinsFolder,
                             InstallFailure* failure = nullptr);

} // namespace mv
