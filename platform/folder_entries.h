#pragma once
// Reading a folder's entries one at a time, in the order the file system lists them.

#include <QString>
#include <dirent.h>
#include <memory>

namespace mv {

struct FolderEntry {
    QString name;
    bool directory = false; // symbolic links are followed
    bool hidden = false;    // the name starts with a dot
};

// Whether the machine's file-browsing settings ask for hidden entries to be listed: the "ViewAll"
// value of its "Explorer" key in the store, false when either is missing.
bool ViewAllFiles();

class FolderEnumeration {
public:
    // Starts listing `folder`; IsOpen() is false when it can't be read (missing, no access).
    explicit FolderEnumeration(const QString& folder);

    bool IsOpen() const { return directory_ != nullptr; }
    // The next entry other than "." and ".."; false at the end.
    bool Next(FolderEntry& entry);

private:
    struct CloseDirectory {
        void operator()(DIR* directory) const { closedir(directory); }
    };
    QString folder_;
    std::unique_ptr<DIR, CloseDirectory> directory_;
};

} // namespace mv
