#pragma once
// Writing files so that a crash or a power cut never leaves a half-written one: the new content
// goes to a temporary file beside the target, is flushed to disk and then renamed over it.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>
#include <vector>

namespace mv {

// The system's own words for an errno value ("No space left on device").
QString SystemErrorText(int error);

// Writes all of `bytes` to `fd`, going on after interrupted and partial writes.
bool WriteAll(int fd, std::span<const uint8_t> bytes);

// Creates the missing folders of `path`, each with mode 0700. True when `path` is a directory at
// the end; otherwise `error` (when given) receives the system's reason.
bool MakePrivateFolderPath(const QString& path, int* error = nullptr);

// The file that a write to `path` must replace: `path` itself, or when it is a symbolic link the
// file the link leads to (followed through further links; a link to a missing file leads to that
// file's path). False (with the reason in `error`) for a loop of links or an unreadable link.
bool ResolveLinkTarget(const QString& path, QString& target, int* error = nullptr);

// The temporary files WriteFileAtomically makes for `path` are named `path` + this + 6 characters.
// A writer killed before its rename leaves one behind; RemoveStaleTemporaries clears them.
inline constexpr char kTemporarySuffix[] = ".tmp-";

// Writes `bytes` to a new file (mode 0600) in the target's folder, flushes it, renames it over
// the target and flushes the folder. A symbolic link at `path` stays: the file it leads to is the
// target. On failure the old file is untouched, the temporary removed and `error` (when given)
// receives the system's reason.
bool WriteFileAtomically(const QString& path, std::span<const uint8_t> bytes, int* error = nullptr);

// Deletes temporaries of WriteFileAtomically for `path` left by killed writers. Only safe while
// no other writer of `path` can be running (the caller holds the file's lock).
void RemoveStaleTemporaries(const QString& path);

// Reads a whole regular file of at most `maxBytes`. False when it can't be opened or read, or is
// larger; `error` (when given) then receives the reason (EFBIG when too large, EISDIR or EINVAL
// when not a regular file).
bool ReadWholeFile(const QString& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                   int* error = nullptr);

// Copies a regular file of at most `maxBytes` with WriteFileAtomically.
bool CopyFileAtomically(const QString& source, const QString& target, size_t maxBytes,
                        int* error = nullptr);

// Renames `from` to `to` unless `to` exists; `targetExists` tells that case apart from other
// failures.
bool RenameNoReplace(const QString& from, const QString& to, bool& targetExists);

// Makes a new folder (mode 0700) named `parent` + `prefix` + 6 unique characters.
bool MakeUniqueFolder(const QString& parent, const QString& prefix, QString& folder);

// Removes a folder and everything in it; symbolic links are removed, never followed.
void RemoveFolderTree(const QString& path);

// The names (not paths) of the regular files in `folder` matching the wildcard `pattern`, sorted.
QStringList ListFiles(const QString& folder, const QString& pattern);

} // namespace mv
