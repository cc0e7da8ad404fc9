#pragma once
// The one-time per-user installation: the first start of a user makes the per-user folder with
// "Skins/" and the default skins in it. While the folder exists this never runs again, so skins
// the user deleted stay deleted.

#include <QString>

namespace mv {

// Installs from the default skins installed with the program. True when the per-user folder
// exists afterwards (made now or earlier).
bool InstallPerUserFiles();

// The same from a given folder of "default_*.scs" files (ends with "/").
bool InstallPerUserFilesFrom(const QString& installedSkinsFolder);

} // namespace mv
