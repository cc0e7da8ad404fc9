#pragma once
// One root's store file on disk: reading it (parsing a content only once), locking it for a
// read-modify-write, setting a broken file aside and replacing the file atomically.

#include "platform/store_document.h"
#include "platform/unique_fd.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>

namespace mv {

enum class StoreFileState {
    Missing,    // no file yet: an empty store
    Parsed,     // the document holds the file's content
    Unparsable, // the file isn't a store file: reads as empty, is set aside before a write
    Unreadable, // the file exists but can't be read: reads as empty, is never written over
};

struct StoreFileContent {
    StoreFileState state = StoreFileState::Missing;
    int error = 0;                                 // the system's reason when Unreadable
    std::shared_ptr<const StoreDocument> document; // never null; empty unless Parsed
};

// Reads the store file at `path`. The document of the last content read or written at `path` is
// kept, so a file whose bytes haven't changed since is not parsed again.
StoreFileContent ReadStoreFile(const QString& path);

// How many store file contents this process has parsed.
uint64_t StoreFileParseCount();

// An exclusive lock on `path` + ".lock" held for the life of the object, so that two writers'
// read-modify-write cycles don't overlap. The kernel releases it if the process dies.
class StoreFileLock {
public:
    // False, with the system's reason in `error`, when the lock can't be had.
    bool Acquire(const QString& storePath, int& error);

private:
    UniqueFd lockFile_;
};

// Renames a broken store file to `path` + ".broken-YYYYmmddTHHMMSS" (with "-2", "-3"... when that
// name is taken), never replacing another file.
bool SetBrokenStoreAside(const QString& path, int& error);

// Writes `document` to `path` atomically (see WriteFileAtomically), first clearing temporaries
// left by killed writers; the caller holds the StoreFileLock. `path` is the file itself, not a
// link to it (see ResolveLinkTarget).
bool WriteStoreFile(const QString& path, std::shared_ptr<const StoreDocument> document,
                    std::string_view rootName, int& error);

} // namespace mv
