#pragma once
// One root's store file on disk: reading it, locking it for a read-modify-write, setting a broken
// file aside and replacing the file atomically.

#include "platform/store_document.h"
#include "platform/unique_fd.h"

#include <QString>
#include <string_view>

namespace mv {

enum class StoreFileState {
    Missing,    // no file yet: an empty store
    Parsed,     // the document holds the file's content
    Unparsable, // the file isn't a store file: reads as empty, is set aside before a write
    Unreadable, // the file exists but can't be read: reads as empty, is never written over
};

StoreFileState ReadStoreFile(const QString& path, StoreDocument& document);

// An exclusive lock on `path` + ".lock" held for the life of the object, so that two writers'
// read-modify-write cycles don't overlap. The kernel releases it if the process dies.
class StoreFileLock {
public:
    bool Acquire(const QString& storePath);

private:
    UniqueFd lockFile_;
};

// Renames a broken store file to `path` + ".broken-YYYYmmddTHHMMSS" (with "-2", "-3"... when that
// name is taken), never replacing another file.
bool SetBrokenStoreAside(const QString& path);

// Writes `document` to `path` atomically (see WriteFileAtomically), first clearing temporaries
// left by killed writers; the caller holds the StoreFileLock.
bool WriteStoreFile(const QString& path, const StoreDocument& document, std::string_view rootName);

} // namespace mv
