// The settings store: defaults, what a stored value must look like to count, how flags and the
// skin path are written back, the default skin by screen size, and the per-user installation.
#include "app/settings.h"
#include "app/user_install.h"
#include "platform/folders.h"
#include "platform/screen.h"
#include "platform/store.h"
#include "test_env.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace mv {
namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian UTF-16 with its terminator, as the store keeps strings.
Bytes Utf16WithTerminator(const QString& text) {
    Bytes bytes;
    for (const QChar unit : text + QChar(0)) {
        bytes.push_back(uint8_t(unit.unicode()));
        bytes.push_back(uint8_t(unit.unicode() >> 8));
    }
    return bytes;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { OverrideScreenSize(240, 320); }
    void TearDown() override { OverrideScreenSize(0, 0); }

    static StoreKey SettingsKey() {
        StoreKey key;
        EXPECT_EQ(StoreCreateKey(StoreRoot::CurrentUser, kSettingsKeyPath, StoreAccess::ReadWrite,
                                 key, nullptr),
                  kStoreOk);
        return key;
    }

    static void PutSkin(const QString& name) {
        ASSERT_TRUE(QDir().mkpath(PerUserFolder() + "Skins"));
        ASSERT_TRUE(test::WriteAll(PerUserFolder() + "Skins/" + name, "skin"));
    }

    static Bytes StoredBytes(std::u16string_view name, ValueType expectedType) {
        Bytes data(1024);
        ValueType type{};
        uint32_t size = 0;
        EXPECT_EQ(StoreQueryValue(SettingsKey(), name, type, data, size), kStoreOk);
        EXPECT_EQ(type, expectedType);
        data.resize(size);
        return data;
    }

    test::IsolatedHome home_;
};

TEST_F(SettingsTest, FirstRunGivesDefaultsAndTheDefaultSkinWhenPresent) {
    Settings settings;
    settings.SkinPath = "stale";
    settings.NoOff = 1;
    LoadSettings(settings);
    EXPECT_EQ(settings.AlreadyWelcome, 0);
    EXPECT_EQ(settings.NoOff, 0);
    EXPECT_EQ(settings.AntiAliased, 1);
    EXPECT_EQ(settings.Smooth, 0);
    EXPECT_EQ(settings.Shadow, 1);
    EXPECT_FALSE(settings.SkinPath.has_value());
    // Loading neither creates the key nor the per-user folder.
    EXPECT_FALSE(QFile::exists(StoreFilePath(StoreRoot::CurrentUser)));
    EXPECT_FALSE(QFile::exists(PerUserFolder()));

    PutSkin("default_240.scs");
    LoadSettings(settings);
    EXPECT_EQ(settings.SkinPath, PerUserFolder() + "Skins/default_240.scs");
}

TEST_F(SettingsTest, OnlyWellFormedDwordsCountAndTheirLowByteIsKept) {
    const StoreKey key = SettingsKey();
    ASSERT_EQ(StoreSetDword(key, u"AlreadyWelcome", 0x100), kStoreOk); // low byte 0: off
    ASSERT_EQ(StoreSetDword(key, u"AntiAliased", 0), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"NoOff", 0x80), kStoreOk);                           // -128: on
    ASSERT_EQ(StoreSetValue(key, u"Shadow", ValueType::Dword, Bytes(8, 0)), kStoreOk); // too long
    ASSERT_EQ(StoreSetString(key, u"Smooth", u"1"), kStoreOk);                         // wrong type
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.AlreadyWelcome, 0);
    EXPECT_EQ(settings.AntiAliased, 0);
    EXPECT_EQ(settings.NoOff, -128);
    EXPECT_EQ(settings.Shadow, 1);
    EXPECT_EQ(settings.Smooth, 0);

    SaveSettings(settings);
    const std::pair<std::u16string_view, Bytes> written[] = {
        {u"AlreadyWelcome", {0, 0, 0, 0}},
        {u"AntiAliased", {0, 0, 0, 0}},
        {u"NoOff", {0x80, 0xFF, 0xFF, 0xFF}},
        {u"Shadow", {1, 0, 0, 0}},
        {u"Smooth", {0, 0, 0, 0}},
    };
    for (const auto& [name, bytes] : written) {
        SCOPED_TRACE(QString::fromStdU16String(std::u16string(name)).toStdString());
        EXPECT_EQ(StoredBytes(name, ValueType::Dword), bytes);
    }
    // The values appear in the file in the order they are written.
    const QByteArray file = test::ReadAll(StoreFilePath(StoreRoot::CurrentUser));
    const char* order[] = {
        "AlreadyWelcome =", "AntiAliased =", "NoOff =", "Shadow =", "Smooth =", "SkinPath ="};
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(file.indexOf(order[i - 1]), file.indexOf(order[i])) << order[i];
}

TEST_F(SettingsTest, SkinPathIsWrittenWithItsTerminatorAndEmptyMeansNone) {
    Settings settings;
    settings.SkinPath = QString::fromUtf16(u"/media/card/\u00e9 \"clock\"\\.scs");
    SaveSettings(settings);
    EXPECT_EQ(StoredBytes(u"SkinPath", ValueType::String), Utf16WithTerminator(*settings.SkinPath));
    Settings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.SkinPath, settings.SkinPath);

    settings.SkinPath.reset();
    SaveSettings(settings);
    EXPECT_EQ(StoredBytes(u"SkinPath", ValueType::String), Bytes({0, 0}));
    PutSkin("default_240.scs");
    LoadSettings(loaded);
    EXPECT_EQ(loaded.SkinPath, PerUserFolder() + "Skins/default_240.scs");
}

TEST_F(SettingsTest, StoredSkinPathMustBeAStringThatFitsThePathBuffer) {
    const QString longest(kMaxPath - 1, QLatin1Char('p'));
    struct Row {
        const char* what;
        ValueType type;
        Bytes data;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"259 characters", ValueType::String, Utf16WithTerminator(longest), longest},
        {"260 characters", ValueType::String, Utf16WithTerminator(longest + "p"), {}},
        {"one character", ValueType::String, Utf16WithTerminator("/"), QString("/")},
        {"empty string", ValueType::String, {0, 0}, {}},
        {"no bytes", ValueType::String, {}, {}},
        {"one byte", ValueType::String, {'/'}, {}},
        {"a DWORD", ValueType::Dword, {'/', 0, 0, 0}, {}},
        {"embedded terminator", ValueType::String,
         Utf16WithTerminator(QString("/a") + QChar(0) + "/b"), QString("/a")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(StoreSetValue(SettingsKey(), u"SkinPath", row.type, row.data), kStoreOk);
        Settings settings;
        LoadSettings(settings);
        EXPECT_EQ(settings.SkinPath, row.expected);
    }
}

TEST_F(SettingsTest, DefaultSkinFollowsTheScreensShorterSide) {
    const struct {
        int32_t width, height;
        uint32_t sizeClass;
    } rows[] = {
        {320, 240, 240},    {319, 1000, 240},   {320, 320, 320},    {479, 640, 320},
        {800, 480, 480},    {719, 1280, 480},   {720, 720, 720},    {1079, 1920, 720},
        {1920, 1080, 1080}, {1439, 2560, 1080}, {1440, 1440, 1440}, {3840, 2160, 1440},
    };
    for (uint32_t size : kSizeClasses)
        PutSkin(QString::asprintf("default_%u.scs", size));
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        EXPECT_EQ(SizeClass(row.width, row.height), row.sizeClass);
        OverrideScreenSize(row.width, row.height);
        Settings settings;
        LoadSettings(settings);
        EXPECT_EQ(settings.SkinPath,
                  PerUserFolder() + QString("Skins/default_%1.scs").arg(row.sizeClass));
    }
}

TEST_F(SettingsTest, SkinsFolderNeedsOnlyThePerUserFolder) {
    QString folder;
    EXPECT_FALSE(FindSkinsFolder(folder));
    EXPECT_FALSE(QFile::exists(PerUserFolder()));
    EXPECT_EQ(PerUserFolder(), home_.DataHome() + "/TEV/Marovellastrine/");

    ASSERT_TRUE(QDir().mkpath(PerUserFolder()));
    ASSERT_TRUE(FindSkinsFolder(folder));
    EXPECT_EQ(folder, PerUserFolder() + "Skins/");
    Settings settings;
    LoadSettings(settings); // no Skins folder, so no default skin file
    EXPECT_FALSE(settings.SkinPath.has_value());

    ASSERT_TRUE(QDir().mkpath(PerUserFolder() + "Skins/default_240.scs")); // a folder, not a file
    LoadSettings(settings);
    EXPECT_FALSE(settings.SkinPath.has_value());
}

class UserInstallTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        installed_ = home_.Path() + "/installed/skins/";
        ASSERT_TRUE(QDir().mkpath(installed_));
        for (const char* size : {"240", "320", "480"})
            ASSERT_TRUE(test::WriteAll(installed_ + "default_" + size + ".scs",
                                       QByteArray("skin of size ") + size));
        ASSERT_TRUE(test::WriteAll(installed_ + "extra.scs", "not a default skin"));
    }

    QString installed_;
};

TEST_F(UserInstallTest, CopiesTheDefaultSkinsOnceAndNeverAgain) {
    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    const QString skins = PerUserFolder() + "Skins/";
    EXPECT_EQ(QDir(skins).entryList(QDir::Files),
              QStringList({"default_240.scs", "default_320.scs", "default_480.scs"}));
    EXPECT_EQ(test::ReadAll(skins + "default_320.scs"), "skin of size 320");
    // Nothing of the installation is left beside the per-user folder.
    EXPECT_EQ(QDir(home_.DataHome() + "/TEV")
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"Marovellastrine"}));
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.SkinPath, skins + "default_240.scs");

    // Skins the user deleted stay deleted, even the whole Skins folder.
    ASSERT_TRUE(QFile::remove(skins + "default_240.scs"));
    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    EXPECT_FALSE(QFile::exists(skins + "default_240.scs"));
    ASSERT_TRUE(QDir(skins).removeRecursively());
    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    EXPECT_FALSE(QFile::exists(skins));
}

TEST_F(UserInstallTest, AFailedOrInterruptedInstallationIsDoneAgainNextTime) {
    // An earlier start died half-way: its unfinished folder is cleared and no per-user folder made.
    const QString abandoned = home_.DataHome() + "/TEV/.Marovellastrine-install-abc123";
    ASSERT_TRUE(QDir().mkpath(abandoned + "/Skins"));
    EXPECT_FALSE(InstallPerUserFilesFrom(home_.Path() + "/nowhere/"));
    EXPECT_FALSE(QFile::exists(PerUserFolder()));
    EXPECT_FALSE(QFile::exists(abandoned));

    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    EXPECT_EQ(test::ReadAll(PerUserFolder() + "Skins/default_480.scs"), "skin of size 480");
}

// The installed data is found beside the executable: the tests run from the build tree's bin/,
// whose ../share/marovellastrine/skins/ holds the skins the generator drew.
TEST_F(SettingsTest, InstallsTheBuiltDefaultSkinsFoundBesideTheExecutable) {
    EXPECT_EQ(QDir(InstalledDataFolder()).canonicalPath(),
              QDir(QStringLiteral(MV_BUILD_DATA_DIR)).canonicalPath());
    ASSERT_TRUE(InstallPerUserFiles());
    for (uint32_t size : kSizeClasses) {
        const QString name = QString::asprintf("default_%u.scs", size);
        EXPECT_EQ(test::ReadAll(PerUserFolder() + "Skins/" + name),
                  test::ReadAll(InstalledDataFolder() + "skins/" + name));
    }
}

} // namespace
} // namespace mv
