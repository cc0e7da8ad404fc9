#pragma once
// Where the program's files live on Linux: the XDG per-user folders, the private runtime folder
// for temporary files, and the data installed beside the program.

#include <QString>

namespace mv {

// $XDG_DATA_HOME, or ~/.local/share when unset or not absolute. No trailing separator.
QString UserDataHome();
// $XDG_CONFIG_HOME, or ~/.config when unset or not absolute. No trailing separator.
QString UserConfigHome();

// A folder only this user can reach, for temporary files: $XDG_RUNTIME_DIR when it is a directory
// owned by this user and closed to others; otherwise a folder made with mode 0700 under
// ~/.cache. Never a shared world-writable folder. Ends with "/". False when none can be had; the
// folder is then the one that was tried last, errno says why it can't be used, and `whyNot` (when
// given) says which folders were tried and why they don't do.
bool PrivateRuntimeFolder(QString& folder, QString* whyNot = nullptr);

// The program's installed data (default skins, help page): <prefix>/share/marovellastrine/,
// found relative to the running executable (<prefix>/bin/...), so the build tree and an install
// prefix work alike. Ends with "/".
QString InstalledDataFolder();

// What the file system reports for a path; symbolic links are followed.
struct PathAttributes {
    bool exists = false;
    bool directory = false;
    bool hidden = false; // the name starts with a dot
};
PathAttributes ReadPathAttributes(const QString& path);

} // namespace mv
