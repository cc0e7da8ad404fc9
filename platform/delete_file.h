#pragma once
// Deleting a file.

#include <QString>

namespace mv {

// Removes the file (a symbolic link itself, never its target). False when it can't, for example
// because it is already gone.
bool DeleteFile(const QString& path);

} // namespace mv
