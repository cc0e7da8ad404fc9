#include "platform/gps_server_address.h"

#include "platform/store.h"

#include <QString>
#include <array>

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

} // namespace

GpsServerAddress ReadGpsServerAddress() {
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

} // namespace mv
