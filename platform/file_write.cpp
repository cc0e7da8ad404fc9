#include "platform/file_write.h"

#include "platform/unique_fd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(size_t(written));
    }
    return true;
}

namespace {

// Makes a rename in `folder` durable. Some file systems can't flush a folder; the rename has
// happened either way, so this is best effort.
void FlushFolder(const QString& folder) {
    const UniqueFd fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.IsValid())
        ::fsync(fd.Get());
}

QString FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

bool MakePrivateFolderPath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    for (qsizetype slash = clean.indexOf(QLatin1Char('/'), 1); slash != -1;
         slash = clean.indexOf(QLatin1Char('/'), slash + 1))
        ::mkdir(QFile::encodeName(clean.left(slash)).constData(), 0700);
    ::mkdir(QFile::encodeName(clean).constData(), 0700);
    struct stat info {};
    return ::stat(QFile::encodeName(clean).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteFileAtomically(const QString& path, std::span<const uint8_t> bytes) {
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + kTemporarySuffix + "XXXXXX";
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC)); // mode 0600
    if (!file.IsValid())
        return false;
    const bool written = WriteAll(file.Get(), bytes) && ::fsync(file.Get()) == 0 && file.Close() &&
                         ::rename(temporary.constData(), target.constData()) == 0;
    if (!written) {
        ::unlink(temporary.constData());
        return false;
    }
    FlushFolder(FolderOf(path));
    return true;
}

void RemoveStaleTemporaries(const QString& path) {
    const QFileInfo target(path);
    const QString pattern = target.fileName() + QLatin1String(kTemporarySuffix) + "??????";
    QDir folder = target.absoluteDir();
    const QStringList names =
        folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names)
        ::unlink(QFile::encodeName(folder.filePath(name)).constData());
}

bool ReadWholeFile(const QString& path, size_t maxBytes, std::vector<uint8_t>& bytes) {
    bytes.clear();
    const UniqueFd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        uint64_t(info.st_size) > maxBytes)
        return false;
    bytes.resize(size_t(info.st_size));
    size_t filled = 0;
    // Read to the end even if the file grew since fstat, but never beyond maxBytes.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes + 1)
                return false;
            bytes.resize(std::min(maxBytes + 1, bytes.size() + 65536));
        }
        const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        filled += size_t(got);
    }
    if (filled > maxBytes)
        return false;
    bytes.resize(filled);
    return true;
}

bool CopyFileAtomically(const QString& source, const QString& target, size_t maxBytes) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(source, maxBytes, bytes) && WriteFileAtomically(target, bytes);
}

bool RenameNoReplace(const QString& from, const QString& to, bool& targetExists) {
    targetExists = false;
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno == EEXIST || errno == ENOTEMPTY) {
        targetExists = true;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: check first, accepting the small race.
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0) {
        targetExists = true;
        return false;
    }
    return ::rename(source.constData(), target.constData()) == 0;
}

bool MakeUniqueFolder(const QString& parent, const QString& prefix, QString& folder) {
    QByteArray name = QFile::encodeName(QDir(parent).filePath(prefix)) + "XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) // mode 0700
        return false;
    folder = QFile::decodeName(name);
    return true;
}

void RemoveFolderTree(const QString& path) {
    QDir(path).removeRecursively();
}

QStringList ListFiles(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace mv
