#include "app/settings.h"

#include "platform/file_write.h"
#include "platform/folders.h"
#include "platform/screen.h"
#include "platform/store.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace mv {

namespace {

// The five flags under their value names, in the order they are read and written.
constexpr std::array<std::pair<std::u16string_view, int8_t Settings::*>, 5> kFlagValues = {{
    {u"AlreadyWelcome", &Settings::AlreadyWelcome},
    {u"AntiAliased", &Settings::AntiAliased},
    {u"NoOff", &Settings::NoOff},
    {u"Shadow", &Settings::Shadow},
    {u"Smooth", &Settings::Smooth},
}};

constexpr std::u16string_view kSkinPathValue = u"SkinPath";

std::u16string_view Utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

// Only the low 8 bits of a stored flag count: 0x100 is off, 0x80 is -128 (on).
int8_t LowByte(uint32_t value) {
    return static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
}

std::optional<QString> ReadSkinPath(const RegistryKey& key) {
    std::array<uint8_t, kMaxPath * 2> buffer{};
    ValueType type{};
    uint32_t size = 0;
    if (StoreQueryValue(key.Key(), kSkinPathValue, type, buffer, size) != kStoreOk ||
        type != ValueType::String)
        return std::nullopt;
    // The stored byte count includes the terminator.
    const qsizetype characters = qsizetype(size / 2) - 1;
    if (characters <= 0)
        return std::nullopt;
    QString units(characters, Qt::Uninitialized);
    for (qsizetype i = 0; i < characters; ++i)
        units[i] = QChar(char16_t(buffer[size_t(2 * i)] | buffer[size_t(2 * i + 1)] << 8));
    QString path = DuplicateString(units, characters);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

// Why the latest SaveSettings failed, until it is taken (main thread only).
std::optional<StoreWriteError>& LatestSaveFailure() {
    static std::optional<StoreWriteError> failure;
    return failure;
}

} // namespace

void LoadSettings(Settings& settings) {
    settings = Settings{};
    RegistryKey key;
    if (key.Open(StoreRoot::CurrentUser, kSettingsKeyPath, StoreAccess::ReadWrite) == kStoreOk) {
        for (const auto& [name, field] : kFlagValues) {
            uint32_t value = 0;
            if (key.QueryDword(name, value) == kStoreOk)
                settings.*field = LowByte(value);
        }
        settings.SkinPath = ReadSkinPath(key);
        key.Close();
    }
    if (settings.SkinPath.has_value())
        return;
    QString defaultSkin;
    if (DefaultSkinPath(defaultSkin) && FileExists(defaultSkin))
        settings.SkinPath = DuplicateString(defaultSkin, defaultSkin.size());
}

std::optional<StoreWriteError> SaveSettings(const Settings& settings) {
    std::optional<StoreWriteError>& latestFailure = LatestSaveFailure();
    latestFailure.reset();
    RegistryKey key;
    StoreWriteError error;
    if (key.Create(StoreRoot::CurrentUser, kSettingsKeyPath, StoreAccess::ReadWrite, nullptr,
                   &error) != kStoreOk) {
        latestFailure = error;
        return error;
    }
    std::vector<StoreNamedValue> values;
    for (const auto& [name, field] : kFlagValues)
        values.push_back(DwordValue(name, static_cast<uint32_t>(int32_t{settings.*field})));
    values.push_back(StringValue(kSkinPathValue, settings.SkinPath.has_value()
                                                     ? Utf16(*settings.SkinPath)
                                                     : std::u16string_view(u"")));
    if (StoreSetValues(key.Key(), values, &error) != kStoreOk)
        latestFailure = error;
    key.Close();
    return latestFailure;
}

std::optional<StoreWriteError> TakeSettingsSaveFailure() {
    return std::exchange(LatestSaveFailure(), std::nullopt);
}

QString PerUserFolder() {
    QString folder = UserDataHome();
    MakePrivateFolderPath(folder); // the application-data folder is made when missing
    AppendSeparator(folder);
    folder += QLatin1String("TEV/");
    folder += QLatin1String("Marovellastrine");
    folder += QLatin1Char('/');
    return folder;
}

bool FindSkinsFolder(QString& folder) {
    const QString perUser = PerUserFolder();
    if (!ReadPathAttributes(perUser).directory)
        return false;
    folder = perUser + QLatin1String("Skins/");
    return true;
}

bool FileExists(const QString& path) {
    const PathAttributes attributes = ReadPathAttributes(path);
    return attributes.exists && !attributes.directory;
}

void AppendSeparator(QString& path) {
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))
        return;
    path += QLatin1Char('/');
}

uint32_t SizeClass(int32_t screenWidth, int32_t screenHeight) {
    const int64_t shorterSide = std::min(screenWidth, screenHeight);
    for (auto size = kSizeClasses.rbegin(); size != kSizeClasses.rend(); ++size)
        if (*size <= shorterSide)
            return *size;
    return kSizeClasses.front();
}

bool DefaultSkinPath(QString& path) {
    QString folder;
    if (!FindSkinsFolder(folder))
        return false;
    const ScreenSize screen = ReadScreenSize();
    path = folder + QString::asprintf("default_%u.scs", SizeClass(screen.width, screen.height));
    return true;
}

QString DuplicateString(QStringView text, qsizetype n) {
    // Like copying a terminated string: the copy also ends at an embedded terminator, so a path
    // can never carry a NUL that the file system would cut it at.
    QStringView head = text.first(std::clamp<qsizetype>(n, 0, text.size()));
    const qsizetype terminator = head.indexOf(QChar(u'\0'));
    if (terminator >= 0)
        head = head.first(terminator);
    return head.toString();
}

} // namespace mv
