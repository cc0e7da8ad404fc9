#include "platform/binary_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

BinaryFile::~BinaryFile() {
    if (fd_ >= 0)
        close(fd_);
}

bool BinaryFile::Open(const QString& path) {
    if (fd_ >= 0 || path.isEmpty())
        return false;
    // O_NONBLOCK keeps a named pipe at the path from stalling the open; it has no effect on the
    // regular files that are accepted.
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

int64_t BinaryFile::Size() const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0)
        return -1;
    return int64_t(info.st_size);
}

bool BinaryFile::Seek(int64_t offset) {
    return fd_ >= 0 && offset >= 0 && lseek(fd_, off_t(offset), SEEK_SET) == off_t(offset);
}

bool BinaryFile::ReadExact(std::span<uint8_t> buffer) {
    if (fd_ < 0)
        return false;
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = read(fd_, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace mv
