#include "platform/private_temp_file.h"

#include "platform/file_write.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

namespace {

int CreateExclusive(const QByteArray& path) {
    return open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// A leftover of our own: a plain file (not a link) that we own.
bool IsOwnRegularFile(const QByteArray& path) {
    struct stat info {};
    return lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
}

} // namespace

PrivateTempFile::~PrivateTempFile() {
    if (fd_ < 0)
        return;
    // Delete the name only while it still names the file we made.
    struct stat info {};
    if (lstat(path_.constData(), &info) == 0 && uint64_t(info.st_dev) == device_ &&
        uint64_t(info.st_ino) == inode_)
        unlink(path_.constData());
    close(fd_);
}

bool PrivateTempFile::Create(const QString& path) {
    if (fd_ >= 0 || path.isEmpty())
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    int fd = CreateExclusive(encoded);
    if (fd < 0 && errno == EEXIST && IsOwnRegularFile(encoded) && unlink(encoded.constData()) == 0)
        fd = CreateExclusive(encoded);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        unlink(encoded.constData());
        close(fd);
        errno = error;
        return false;
    }
    fd_ = fd;
    path_ = encoded;
    device_ = uint64_t(info.st_dev);
    inode_ = uint64_t(info.st_ino);
    return true;
}

QString PrivateTempFile::Path() const {
    return QFile::decodeName(path_);
}

bool PrivateTempFile::Replace(std::span<const uint8_t> bytes) {
    return fd_ >= 0 && ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0 &&
           WriteAll(fd_, bytes) && lseek(fd_, 0, SEEK_SET) == 0;
}

} // namespace mv
