#pragma once
// Where the GPS driver finds gpsd: the values that the GPS settings page keeps in the platform
// store, or the defaults when they are missing or unusable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mv {

constexpr std::u16string_view kGpsSettingsKey = u"Software\\TEV\\Platform\\GPS";
constexpr std::u16string_view kGpsHostValue = u"Host"; // string
constexpr std::u16string_view kGpsPortValue = u"Port"; // DWORD, 1-65535
constexpr std::string_view kDefaultGpsHost = "localhost";
constexpr uint16_t kDefaultGpsPort = 2947;

struct GpsServerAddress {
    std::string host{kDefaultGpsHost}; // UTF-8, as the resolver takes it
    uint16_t port = kDefaultGpsPort;
};

// Reads the current user's GPS settings, with this process's override applied.
GpsServerAddress ReadGpsServerAddress();

// Stores host (UTF-8, not empty) and port for the current user. False when the store refused.
bool WriteGpsServerAddress(const GpsServerAddress& address);

// A host and port that win over the stored ones for this process only, without writing the store
// (the headless sync tool's --host and --port). An empty host or no port keeps the stored value.
struct GpsServerOverride {
    std::string host;
    std::optional<uint16_t> port;
};
void OverrideGpsServerAddress(GpsServerOverride override);

} // namespace mv
