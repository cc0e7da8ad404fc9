#pragma once
// The platform store: a small typed key-value store standing in for the system registry.
// One human-readable file per root (a symbolic link to it stays one: writes replace the file it
// leads to); keys are paths ("Software\TEV\Marovellastrine\"), compared
// without regard to letter case; values keep their type and their bytes exactly as written.
// Every write replaces the whole file by rename, so a writer killed at any moment leaves either the
// old or the new store on disk.

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace mv {

enum class StoreRoot { CurrentUser, LocalMachine };

// Result codes of the store operations. 0 is success; the others are fixed so that callers and
// tests can name them.
enum StoreStatus : int32_t {
    kStoreOk = 0,
    kStoreNotFound = 2,          // the key or the value does not exist
    kStoreAccessDenied = 5,      // the root or key is read-only, or the file can't be written
    kStoreInvalidHandle = 6,     // the key owner holds no open key
    kStoreInvalidData = 13,      // the value exists but has another type (or size) than asked for
    kStoreInvalidParameter = 87, // a malformed key path (leading or doubled backslash...)
    kStoreMoreData = 234,        // the value's data is longer than the caller's buffer
};

enum class ValueType : uint32_t { String = 1, Dword = 4 };

// Why a write failed: the file (or folder) it concerned and the system's reason, an errno value.
struct StoreWriteError {
    QString path;
    int systemError = 0;
};

// One value of a write of several values at once.
struct StoreNamedValue {
    std::u16string_view name;
    ValueType type = ValueType::Dword;
    std::vector<uint8_t> data;
};
// A DWORD is stored as its 4 bytes, least significant first.
StoreNamedValue DwordValue(std::u16string_view name, uint32_t value);
// A string is stored as its UTF-16 units, least significant byte first, plus a terminating 0 unit.
StoreNamedValue StringValue(std::u16string_view name, std::u16string_view text);

enum class StoreAccess { Read, ReadWrite };

enum class KeyDisposition { CreatedNew, OpenedExisting };

// The file that holds a root: current user $XDG_CONFIG_HOME/tev-platform/current-user.store,
// local machine /etc/tev-platform/local-machine.store (read-only for the program; the environment
// variable MV_LOCAL_MACHINE_STORE names another file, for tests).
QString StoreFilePath(StoreRoot root);

// Handle of one open key: which root and which normalised key path.
struct StoreKey {
    StoreRoot root = StoreRoot::CurrentUser;
    QString path;
    StoreAccess access = StoreAccess::Read;
};

// Key paths are backslash-separated with an optional trailing backslash; "" is the root itself.
// Opening a missing key gives kStoreNotFound. The local machine root can't be written: creating
// there, or asking for write access to it, gives kStoreAccessDenied.
int32_t StoreOpenKey(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                     StoreKey& key);
// Opens the key, making it first when missing (its parents need no entries of their own).
// A failed write of the new key is described in `error` when one is given.
int32_t StoreCreateKey(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                       StoreKey& key, KeyDisposition* disposition,
                       StoreWriteError* error = nullptr);

// Reads a value: its type and up to buffer.size() bytes of data. `dataSize` receives the value's
// full length even when it doesn't fit (then kStoreMoreData is returned and nothing is copied).
int32_t StoreQueryValue(const StoreKey& key, std::u16string_view name, ValueType& type,
                        std::span<uint8_t> buffer, uint32_t& dataSize);
// Writes one value, replacing any of the same name (names ignore letter case). The key needs
// write access. A failed write leaves the file as it was and is described in `error`.
int32_t StoreSetValue(const StoreKey& key, std::u16string_view name, ValueType type,
                      std::span<const uint8_t> data, StoreWriteError* error = nullptr);
// Writes several values, in their order, with one write of the file: all of them or none.
int32_t StoreSetValues(const StoreKey& key, std::span<const StoreNamedValue> values,
                       StoreWriteError* error = nullptr);
int32_t StoreSetDword(const StoreKey& key, std::u16string_view name, uint32_t value);
int32_t StoreSetString(const StoreKey& key, std::u16string_view name, std::u16string_view text);

// The small key owner used by the settings store: holds at most one open key and closes it when
// destroyed or replaced.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    int32_t Open(StoreRoot root, std::u16string_view keyPath, StoreAccess access);
    int32_t Create(StoreRoot root, std::u16string_view keyPath, StoreAccess access,
                   KeyDisposition* disposition = nullptr, StoreWriteError* error = nullptr);
    // 0 on success; kStoreInvalidData when the value isn't a DWORD (or is a DWORD shorter than 4
    // bytes); kStoreNotFound when missing; kStoreMoreData when its data is longer than 4 bytes.
    int32_t QueryDword(std::u16string_view name, uint32_t& value) const;
    void Close();

    bool IsOpen() const { return open_; }
    const StoreKey& Key() const { return key_; }

private:
    StoreKey key_;
    bool open_ = false;
};

// The plainer read: true when the value exists and its first 4 bytes could be read; the type is
// not checked.
bool ReadDword(const StoreKey& key, std::u16string_view name, uint32_t& value);

// One DWORD value read in one call, for code that needs a single stored option: opens the key for
// reading, reads the value as ReadDword does and closes the key. Nothing when either is missing.
std::optional<uint32_t> ReadStoredDword(StoreRoot root, std::u16string_view keyPath,
                                        std::u16string_view name);

} // namespace mv
