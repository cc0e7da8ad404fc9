#pragma once
// The small icons the desktop shows for files and folders.

#include <QIcon>
#include <QString>

namespace mv {

// The icon of a file type, named by a bare file name such as ".scs"; the file need not exist.
QIcon FileTypeIcon(const QString& fileName);

// The icon of an existing file or folder.
QIcon PathIcon(const QString& path);

} // namespace mv
