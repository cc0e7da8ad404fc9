#include "platform/store_file.h"

#include "platform/file_write.h"
#include "platform/store_text.h"

#include <QFile>
#include <QHash>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <mutex>
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

// The last content seen at each store path with its document. Keyed by the bytes themselves, so
// a change by another process is never missed, whatever the file system's timestamps say.
struct ParsedContent {
    std::vector<uint8_t> bytes;
    std::shared_ptr<const StoreDocument> document;
};

class ParsedContents {
public:
    std::shared_ptr<const StoreDocument> Find(const QString& path,
                                              const std::vector<uint8_t>& bytes) {
        const std::lock_guard lock(mutex_);
        const auto found = contents_.constFind(path);
        return found != contents_.cend() && found->bytes == bytes ? found->document : nullptr;
    }
    void Remember(const QString& path, std::vector<uint8_t> bytes,
                  std::shared_ptr<const StoreDocument> document) {
        const std::lock_guard lock(mutex_);
        contents_.insert(path, ParsedContent{std::move(bytes), std::move(document)});
    }

private:
    std::mutex mutex_;
    QHash<QString, ParsedContent> contents_;
};

ParsedContents& Parsed() {
    static ParsedContents contents;
    return contents;
}

std::atomic<uint64_t> parseCount{0};

const std::shared_ptr<const StoreDocument>& EmptyDocument() {
    static const std::shared_ptr<const StoreDocument> empty = std::make_shared<StoreDocument>();
    return empty;
}

} // namespace

StoreFileContent ReadStoreFile(const QString& path) {
    StoreFileContent content{StoreFileState::Missing, 0, EmptyDocument()};
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno != ENOENT)
            content = {StoreFileState::Unreadable, errno, EmptyDocument()};
        return content;
    }
    if (!S_ISREG(info.st_mode)) {
        content.state = StoreFileState::Unreadable;
        content.error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return content;
    }
    if (uint64_t(info.st_size) > kMaxStoreFileBytes) {
        content.state = StoreFileState::Unparsable;
        return content;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxStoreFileBytes, bytes, &content.error)) {
        content.state = StoreFileState::Unreadable;
        return content;
    }
    if (auto known = Parsed().Find(path, bytes)) {
        content = {StoreFileState::Parsed, 0, std::move(known)};
        return content;
    }
    ++parseCount;
    auto document = std::make_shared<StoreDocument>();
    if (!ParseStoreText(bytes, *document)) {
        content.state = StoreFileState::Unparsable;
        return content;
    }
    Parsed().Remember(path, std::move(bytes), document);
    content = {StoreFileState::Parsed, 0, std::move(document)};
    return content;
}

uint64_t StoreFileParseCount() {
    return parseCount;
}

bool StoreFileLock::Acquire(const QString& storePath, int& error) {
    const QByteArray lockPath = QFile::encodeName(storePath + QLatin1String(".lock"));
    lockFile_.Reset(::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFile_.IsValid()) {
        error = errno;
        return false;
    }
    int locked = -1;
    do {
        locked = ::flock(lockFile_.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        error = errno;
        lockFile_.Reset();
    }
    return locked == 0;
}

bool SetBrokenStoreAside(const QString& path, int& error) {
    const QString aside = path + BrokenSuffix();
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString candidate =
            attempt == 1 ? aside : aside + QLatin1Char('-') + QString::number(attempt);
        bool taken = false;
        if (RenameNoReplace(path, candidate, taken))
            return true;
        error = errno;
        if (!taken)
            return false;
    }
    return false;
}

bool WriteStoreFile(const QString& path, std::shared_ptr<const StoreDocument> document,
                    std::string_view rootName, int& error) {
    RemoveStaleTemporaries(path);
    std::vector<uint8_t> bytes = FormatStoreText(*document, rootName);
    if (!WriteFileAtomically(path, bytes, &error))
        return false;
    Parsed().Remember(path, std::move(bytes), std::move(document));
    return true;
}

} // namespace mv
