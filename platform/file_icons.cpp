#include "platform/file_icons.h"

#include <QFileIconProvider>
#include <QFileInfo>

namespace mv {

namespace {

const QFileIconProvider& Provider() {
    // Folders get the theme's folder icon without a look into each folder: a custom folder icon
    // costs a file read per folder, and the picker lists thousands of folders in places.
    static QFileIconProvider provider;
    provider.setOptions(QFileIconProvider::DontUseCustomDirectoryIcons);
    return provider;
}

} // namespace

QIcon FileTypeIcon(const QString& fileName) {
    return Provider().icon(QFileInfo(fileName));
}

QIcon PathIcon(const QString& path) {
    return Provider().icon(QFileInfo(path));
}

} // namespace mv
