#include "platform/gps_server_address.h"

#include "platform/store.h"

#include <QString>
#include <array>
#include <mutex>

namespace mv {
namespace {

constexpr size_t kLongestHostUnits = 255;

std::string ReadHost(const StoreKey& key) {
    std::array<uint8_t, (kLongestHostUnits + 1) * 2> buffer{};
    ValueType type{};
    uint32_t size = 0;
    if (StoreQueryValue(key, kGpsHostValue, type, buffer, size) != kStoreOk ||
        type != ValueType::String || size < 2)
        return {};
    QString host;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(buffer[i] | buffer[i + 1] << 8);
        if (unit == 0)
            break;
        host.append(QChar(unit));
    }
    return host.trimmed().toStdString();
}

struct OverrideState {
    std::mutex lock;
    GpsServerOverride value;
};

OverrideState& Override() {
    static OverrideState state;
    return state;
}

void ApplyOverride(GpsServerAddress& address) {
    const std::lock_guard guard(Override().lock);
    if (!Override().value.host.empty())
        address.host = Override().value.host;
    if (Override().value.port)
        address.port = *Override().value.port;
}

GpsServerAddress ReadStoredGpsServerAddress() {
    GpsServerAddress address;
    StoreKey key;
    if (StoreOpenKey(StoreRoot::CurrentUser, kGpsSettingsKey, StoreAccess::Read, key) != kStoreOk)
        return address;
    if (std::string host = ReadHost(key); !host.empty())
        address.host = std::move(host);
    uint32_t port = 0;
    if (ReadDword(key, kGpsPortValue, port) && port >= 1 && port <= 0xFFFF)
        address.port = uint16_t(port);
    return address;
}

} // namespace

GpsServerAddress ReadGpsServerAddress() {
    GpsServerAddress address = ReadStoredGpsServerAddress();
    ApplyOverride(address);
    return address;
}

bool WriteGpsServerAddress(const GpsServerAddress& address) {
    if (address.host.empty() || address.port == 0)
        return false;
    const std::u16string host = QString::fromStdString(address.host).toStdU16String();
    StoreKey key;
    return StoreCreateKey(StoreRoot::CurrentUser, kGpsSettingsKey, StoreAccess::ReadWrite, key,
                          nullptr) == kStoreOk &&
           StoreSetString(key, kGpsHostValue, host) == kStoreOk &&
           StoreSetDword(key, kGpsPortValue, address.port) == kStoreOk;
}

void OverrideGpsServerAddress(GpsServerOverride override) {
    const std::lock_guard guard(Override().lock);
    Override().value = std::move(override);
}

} // namespace mv
