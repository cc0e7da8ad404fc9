#pragma once
// The settings store: five 8-bit options and the current skin's path, kept in the platform store
// of the current user, and the program's per-user files (skins folder, default skin).

#include "platform/store.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mv {

constexpr std::u16string_view kSettingsKeyPath = u"Software\\TEV\\Marovellastrine\\";
constexpr int kMaxPath = 260; // UTF-16 units, terminator included

// Field order is the order of the stored values' meaning; see LoadSettings for the read order.
struct Settings {
    int8_t AlreadyWelcome = 0;
    int8_t NoOff = 0;
    int8_t AntiAliased = 1;
    int8_t Smooth = 0;
    int8_t Shadow = 1;
    std::optional<QString> SkinPath; // none, or the full path of the current skin file
};

void LoadSettings(Settings& settings);
// Writes the six values with one write of the store. Returns why that failed, or nothing; the
// outcome is also kept for TakeSettingsSaveFailure.
std::optional<StoreWriteError> SaveSettings(const Settings& settings);
// Why the latest SaveSettings failed, once; nothing when it succeeded or was already taken.
std::optional<StoreWriteError> TakeSettingsSaveFailure();

// The per-user folder: $XDG_DATA_HOME/TEV/Marovellastrine/ (with the trailing separator).
QString PerUserFolder();
// The per-user folder followed by "Skins/", only when the per-user folder exists as a directory.
bool FindSkinsFolder(QString& folder);
// True when the path exists and is not a directory.
bool FileExists(const QString& path);
// Appends "/" unless the path is empty or already ends in "/" or "\".
void AppendSeparator(QString& path);
// The size classes of the default skins, smallest first.
constexpr std::array<uint32_t, 6> kSizeClasses = {240, 320, 480, 720, 1080, 1440};
// The largest size class not above the smaller side of the whole screen (240 below that).
uint32_t SizeClass(int32_t screenWidth, int32_t screenHeight);
// The skins folder followed by "default_<size class>.scs".
bool DefaultSkinPath(QString& path);
// A new string holding the first n characters of text (fewer when a NUL comes first).
QString DuplicateString(QStringView text, qsizetype n);

} // namespace mv
