#include "platform/file_write.h"

#include "platform/unique_fd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

QString SystemErrorText(int error) {
    char text[256] = {};
    return QString::fromLocal8Bit(::strerror_r(error, text, sizeof text)); // the GNU variant
}

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

void SetError(int* error, int reason) {
    if (error != nullptr)
        *error = reason;
}

} // namespace

bool MakePrivateFolderPath(const QString& path, int* error) {
    const QString clean = QDir::cleanPath(path);
    int lastMakeError = 0;
    auto makeFolder = [&lastMakeError](const QString& folder) {
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            lastMakeError = errno;
    };
    for (qsizetype slash = clean.indexOf(QLatin1Char('/'), 1); slash != -1;
         slash = clean.indexOf(QLatin1Char('/'), slash + 1))
        makeFolder(clean.left(slash));
    makeFolder(clean);
    struct stat info {};
    const bool found = ::stat(QFile::encodeName(clean).constData(), &info) == 0;
    if (found && S_ISDIR(info.st_mode))
        return true;
    // A failed mkdir (read-only, no space) says more than the missing folder it left behind.
    const int lookupError = errno;
    SetError(error, found ? ENOTDIR : lastMakeError != 0 ? lastMakeError : lookupError);
    return false;
}

bool ResolveLinkTarget(const QString& path, QString& target, int* error) {
    constexpr int kMostLinks = 40; // as the kernel allows in one lookup
    QString current = path;
    for (int hop = 0; hop <= kMostLinks; ++hop) {
        const QByteArray encoded = QFile::encodeName(current);
        struct stat info {};
        if (::lstat(encoded.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            target = current; // a missing file is written where it is named
            return true;
        }
        QByteArray linked(PATH_MAX, Qt::Uninitialized);
        const ssize_t length =
            ::readlink(encoded.constData(), linked.data(), size_t(linked.size()));
        if (length < 0 || length >= linked.size()) {
            SetError(error, length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        linked.truncate(length);
        const QString next = QFile::decodeName(linked);
        current = QDir::isAbsolutePath(next)
                      ? next
                      : QFileInfo(current).absolutePath() + QLatin1Char('/') + next;
    }
    SetError(error, ELOOP);
    return false;
}

bool WriteFileAtomically(const QString& path, std::span<const uint8_t> bytes, int* error) {
    QString resolved;
    if (!ResolveLinkTarget(path, resolved, error))
        return false;
    const QByteArray target = QFile::encodeName(resolved);
    QByteArray temporary = target + kTemporarySuffix + "XXXXXX";
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC)); // mode 0600
    if (!file.IsValid()) {
        SetError(error, errno);
        return false;
    }
    const bool written = WriteAll(file.Get(), bytes) && ::fsync(file.Get()) == 0 && file.Close() &&
                         ::rename(temporary.constData(), target.constData()) == 0;
    if (!written) {
        SetError(error, errno);
        ::unlink(temporary.constData());
        return false;
    }
    FlushFolder(FolderOf(resolved));
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

bool ReadWholeFile(const QString& path, size_t maxBytes, std::vector<uint8_t>& bytes, int* error) {
    bytes.clear();
    const UniqueFd file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0) {
        SetError(error, errno);
        return false;
    }
    if (!S_ISREG(info.st_mode) || uint64_t(info.st_size) > maxBytes) {
        SetError(error, S_ISDIR(info.st_mode) ? EISDIR : S_ISREG(info.st_mode) ? EFBIG : EINVAL);
        return false;
    }
    bytes.resize(size_t(info.st_size));
    size_t filled = 0;
    // Read to the end even if the file grew since fstat, but never beyond maxBytes.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes + 1) {
                SetError(error, EFBIG);
                return false;
            }
            bytes.resize(std::min(maxBytes + 1, bytes.size() + 65536));
        }
        const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            SetError(error, errno);
            return false;
        }
        if (got == 0)
            break;
        filled += size_t(got);
    }
    if (filled > maxBytes) {
        SetError(error, EFBIG);
        return false;
    }
    bytes.resize(filled);
    return true;
}

bool CopyFileAtomically(const QString& source, const QString& target, size_t maxBytes, int* error) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(source, maxBytes, bytes, error) &&
           WriteFileAtomically(target, bytes, error);
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
