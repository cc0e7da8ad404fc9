#include "platform/folder_entries.h"

#include "platform/store.h"

#include <QFile>
#include <cstring>
#include <sys/stat.h>

namespace mv {

bool ViewAllFiles() {
    return ReadStoredDword(StoreRoot::LocalMachine, u"Explorer", u"ViewAll").value_or(0) != 0;
}

namespace {

bool IsDirectory(const QString& folder, const dirent& entry) {
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    // A link counts as what it points to; some file systems don't report types at all.
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += QFile::decodeName(entry.d_name);
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

FolderEnumeration::FolderEnumeration(const QString& folder)
    : folder_(folder), directory_(opendir(QFile::encodeName(folder).constData())) {}

bool FolderEnumeration::Next(FolderEntry& entry) {
    if (!directory_)
        return false;
    while (const dirent* raw = readdir(directory_.get())) {
        if (std::strcmp(raw->d_name, ".") == 0 || std::strcmp(raw->d_name, "..") == 0)
            continue;
        entry.name = QFile::decodeName(raw->d_name);
        entry.directory = IsDirectory(folder_, *raw);
        entry.hidden = raw->d_name[0] == '.';
        return true;
    }
    return false;
}

} // namespace mv
