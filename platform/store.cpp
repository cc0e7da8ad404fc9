#include "platform/store.h"

#include "platform/file_write.h"
#include "platform/folders.h"
#include "platform/store_file.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <memory>

namespace mv {

namespace {

std::string_view RootName(StoreRoot root) {
    return root == StoreRoot::LocalMachine ? "local machine" : "current user";
}

QString KeyPathString(std::u16string_view keyPath) {
    return QString(reinterpret_cast<const QChar*>(keyPath.data()), qsizetype(keyPath.size()));
}

// Runs `change(document, write)` on the root's current content under the root's lock and writes
// the document back when the change asks for it. A broken file is set aside before it is
// replaced; a file that can't be read is never replaced. A store file that is a symbolic link
// stays one: the file it leads to is read, set aside and replaced.
template <typename Change>
int32_t ModifyStore(StoreRoot root, StoreWriteError* error, Change&& change) {
    const QString path = StoreFilePath(root);
    auto fail = [error](const QString& concerned, int systemError) {
        if (error != nullptr)
            *error = StoreWriteError{concerned, systemError};
        return kStoreAccessDenied;
    };
    if (root == StoreRoot::LocalMachine)
        return fail(path, EROFS);
    const QString folder = QFileInfo(path).absolutePath();
    int systemError = 0;
    if (!MakePrivateFolderPath(folder, &systemError))
        return fail(folder, systemError);
    StoreFileLock lock;
    if (!lock.Acquire(path, systemError))
        return fail(path + QLatin1String(".lock"), systemError);
    QString file;
    if (!ResolveLinkTarget(path, file, &systemError))
        return fail(path, systemError);
    const StoreFileContent content = ReadStoreFile(file);
    if (content.state == StoreFileState::Unreadable)
        return fail(file, content.error);
    auto document = std::make_shared<StoreDocument>(*content.document);
    bool write = false;
    const int32_t status = change(*document, write);
    if (status != kStoreOk || !write)
        return status;
    if (content.state == StoreFileState::Unparsable && !SetBrokenStoreAside(file, systemError))
        return fail(file, systemError);
    if (!WriteStoreFile(file, std::move(document), RootName(root), systemError))
        return fail(file, systemError);
    return kStoreOk;
}

uint32_t LittleEndian32(const uint8_t (&bytes)[4]) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

void AppendLittleEndian16(std::vector<uint8_t>& data, char16_t unit) {
    data.push_back(uint8_t(unit & 0xFF));
    data.push_back(uint8_t(unit >> 8));
}

} // namespace

QString StoreFilePath(StoreRoot root) {
    if (root == StoreRoot::LocalMachine) {
        const QString overridden = QString::fromLocal8Bit(qgetenv("MV_LOCAL_MACHINE_STORE"));
        return overridden.isEmpty() ? QStringLiteral("/etc/tev-platform/local-machine.store")
                                    : overridden;
    }
    return UserConfigHome() + QStringLiteral("/tev-platform/current-user.store");
}

int32_t StoreOpenKey(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                     StoreKey& key) {
    QString path;
    if (!NormaliseKeyPath(KeyPathString(keyPath), path))
        return kStoreInvalidParameter;
    // An unreadable or broken file reads as empty.
    if (!ReadStoreFile(StoreFilePath(root)).document->KeyExists(path))
        return kStoreNotFound;
    if (root == StoreRoot::LocalMachine && access == StoreAccess::ReadWrite)
        return kStoreAccessDenied;
    key = StoreKey{root, path, access};
    return kStoreOk;
}

int32_t StoreCreateKey(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                       StoreKey& key, KeyDisposition* disposition, StoreWriteError* error) {
    QString path;
    if (!NormaliseKeyPath(KeyPathString(keyPath), path))
        return kStoreInvalidParameter;
    if (root == StoreRoot::LocalMachine)
        return kStoreAccessDenied;
    bool createdNew = false;
    const int32_t status = ModifyStore(root, error, [&](StoreDocument& document, bool& write) {
        createdNew = !document.KeyExists(path);
        if (createdNew)
            document.SectionFor(path);
        write = createdNew;
        return kStoreOk;
    });
    if (status != kStoreOk)
        return status;
    key = StoreKey{root, path, access};
    if (disposition != nullptr)
        *disposition = createdNew ? KeyDisposition::CreatedNew : KeyDisposition::OpenedExisting;
    return kStoreOk;
}

int32_t StoreQueryValue(const StoreKey& key, std::u16string_view name, ValueType& type,
                        std::span<uint8_t> buffer, uint32_t& dataSize) {
    const StoreFileContent content = ReadStoreFile(StoreFilePath(key.root));
    const StoreValue* value = content.document->FindValue(key.path, KeyPathString(name));
    if (value == nullptr)
        return kStoreNotFound;
    type = ValueType(value->type);
    dataSize = uint32_t(value->data.size());
    if (value->data.size() > buffer.size())
        return kStoreMoreData;
    std::copy(value->data.begin(), value->data.end(), buffer.begin());
    return kStoreOk;
}

StoreNamedValue DwordValue(std::u16string_view name, uint32_t value) {
    return {name,
            ValueType::Dword,
            {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

StoreNamedValue StringValue(std::u16string_view name, std::u16string_view text) {
    StoreNamedValue value{name, ValueType::String, {}};
    value.data.reserve((text.size() + 1) * 2);
    for (const char16_t unit : text)
        AppendLittleEndian16(value.data, unit);
    AppendLittleEndian16(value.data, u'\0');
    return value;
}

int32_t StoreSetValues(const StoreKey& key, std::span<const StoreNamedValue> values,
                       StoreWriteError* error) {
    if (key.access != StoreAccess::ReadWrite) {
        if (error != nullptr)
            *error = StoreWriteError{StoreFilePath(key.root), EACCES};
        return kStoreAccessDenied;
    }
    return ModifyStore(key.root, error, [&](StoreDocument& document, bool& write) {
        // The key is made again if its file was replaced or set aside since it was opened.
        StoreSection& section = document.SectionFor(key.path);
        for (const StoreNamedValue& value : values)
            section.Put(StoreValue{KeyPathString(value.name), uint32_t(value.type), value.data});
        write = true;
        return kStoreOk;
    });
}

int32_t StoreSetValue(const StoreKey& key, std::u16string_view name, ValueType type,
                      std::span<const uint8_t> data, StoreWriteError* error) {
    const StoreNamedValue value{name, type, {data.begin(), data.end()}};
    return StoreSetValues(key, {&value, 1}, error);
}

int32_t StoreSetDword(const StoreKey& key, std::u16string_view name, uint32_t value) {
    const StoreNamedValue named = DwordValue(name, value);
    return StoreSetValues(key, {&named, 1});
}

int32_t StoreSetString(const StoreKey& key, std::u16string_view name, std::u16string_view text) {
    const StoreNamedValue named = StringValue(name, text);
    return StoreSetValues(key, {&named, 1});
}

int32_t RegistryKey::Open(StoreRoot root, std::u16string_view keyPath, StoreAccess access) {
    StoreKey opened;
    const int32_t status = StoreOpenKey(root, keyPath, access, opened);
    if (status != kStoreOk)
        return status;
    Close();
    key_ = opened;
    open_ = true;
    return kStoreOk;
}

int32_t RegistryKey::Create(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                            KeyDisposition* disposition, StoreWriteError* error) {
    StoreKey created;
    const int32_t status = StoreCreateKey(root, keyPath, access, created, disposition, error);
    if (status != kStoreOk)
        return status;
    Close();
    key_ = created;
    open_ = true;
    return kStoreOk;
}

int32_t RegistryKey::QueryDword(std::u16string_view name, uint32_t& value) const {
    if (!open_)
        return kStoreInvalidHandle;
    ValueType type{};
    uint8_t bytes[4] = {};
    uint32_t size = 0;
    const int32_t status = StoreQueryValue(key_, name, type, bytes, size);
    if ((status == kStoreOk || status == kStoreMoreData) && type != ValueType::Dword)
        return kStoreInvalidData;
    if (status != kStoreOk)
        return status;
    if (size != sizeof bytes)
        return kStoreInvalidData;
    value = LittleEndian32(bytes);
    return kStoreOk;
}

void RegistryKey::Close() {
    key_ = StoreKey{};
    open_ = false;
}

bool ReadDword(const StoreKey& key, std::u16string_view name, uint32_t& value) {
    ValueType type{};
    uint8_t bytes[4] = {};
    uint32_t size = 0;
    if (StoreQueryValue(key, name, type, bytes, size) != kStoreOk || size != sizeof bytes)
        return false;
    value = LittleEndian32(bytes);
    return true;
}

std::optional<uint32_t> ReadStoredDword(StoreRoot root, std::u16string_view keyPath,
                                        std::u16string_view name) {
    RegistryKey key;
    uint32_t value = 0;
    if (key.Open(root, keyPath, StoreAccess::Read) != kStoreOk ||
        !ReadDword(key.Key(), name, value))
        return std::nullopt;
    return value;
}

} // namespace mv
