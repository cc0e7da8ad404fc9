#include "platform/store_file.h"

#include "platform/file_write.h"
#include "platform/store_text.h"

#include <QFile>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace mv {

namespace {

// Far beyond any real store; a larger file is treated as broken rather than read into memory.
constexpr size_t kMaxStoreFileBytes = 64u << 20;

QString BrokenSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "unknown-time";
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &local);
    return QLatin1String(".broken-") + QLatin1String(stamp);
}

} // namespace

StoreFileState ReadStoreFile(const QString& path, StoreDocument& document) {
    document = {};
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? StoreFileState::Missing : StoreFileState::Unreadable;
    if (!S_ISREG(info.st_mode))
        return StoreFileState::Unreadable;
    if (uint64_t(info.st_size) > kMaxStoreFileBytes)
        return StoreFileState::Unparsable;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxStoreFileBytes, bytes))
        return StoreFileState::Unreadable;
    return ParseStoreText(bytes, document) ? StoreFileState::Parsed : StoreFileState::Unparsable;
}

bool StoreFileLock::Acquire(const QString& storePath) {
    const QByteArray lockPath = QFile::encodeName(storePath + QLatin1String(".lock"));
    lockFile_.Reset(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFile_.IsValid())
        return false;
    int locked = -1;
    do {
        locked = ::flock(lockFile_.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0)
        lockFile_.Reset();
    return locked == 0;
}

bool SetBrokenStoreAside(const QString& path) {
    const QString aside = path + BrokenSuffix();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString candidate =
            attempt == 1 ? aside : aside + QLatin1Char('-') + QString::number(attempt);
        bool taken = false;
        if (RenameNoReplace(path, candidate, taken))
            return true;
        if (!taken)
            return false;
    }
    return false;
}

bool WriteStoreFile(const QString& path, const StoreDocument& document, std::string_view rootName) {
    RemoveStaleTemporaries(path);
    return WriteFileAtomically(path, FormatStoreText(document, rootName));
}

} // namespace mv
