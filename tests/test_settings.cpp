// The settings: stored values that count, how they are written, the default skin, the installation.
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

Bytes Utf16WithTerminator(const QString& text) {
    return test::Utf16Bytes(text.toStdU16String());
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideScreenSize(240, 320);
        installed_ = home_.Path() + "/installed/skins/";
        ASSERT_TRUE(QDir().mkpath(installed_));
        for (const char* size : {"240", "320", "480"})
            ASSERT_TRUE(test::WriteAll(installed_ + "default_" + size + ".scs",
                                       QByteArray("skin of size ") + size));
        ASSERT_TRUE(test::WriteAll(installed_ + "extra.scs", "not a default skin"));
    }
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

    static Settings Loaded() {
        Settings settings;
        LoadSettings(settings);
        return settings;
    }

    test::IsolatedHome home_;
    QString installed_;
};

TEST_F(SettingsTest, OnlyWellFormedDwordsCountAndTheirLowByteIsKept) {
    const StoreKey key = SettingsKey();
    ASSERT_EQ(StoreSetDword(key, u"AlreadyWelcome", 0x100), kStoreOk); // low byte 0: off
    ASSERT_EQ(StoreSetDword(key, u"AntiAliased", 0), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"NoOff", 0x80), kStoreOk);                           // -128: on
    ASSERT_EQ(StoreSetValue(key, u"Shadow", ValueType::Dword, Bytes(8, 0)), kStoreOk); // too long
    ASSERT_EQ(StoreSetString(key, u"Smooth", u"1"), kStoreOk);                         // wrong type
    const Settings settings = Loaded();
    EXPECT_EQ(settings.AlreadyWelcome, 0);
    EXPECT_EQ(settings.AntiAliased, 0);
    EXPECT_EQ(settings.NoOff, -128);
    EXPECT_EQ(settings.Shadow, 1);
    EXPECT_EQ(settings.Smooth, 0);

    SaveSettings(settings);
    EXPECT_EQ(StoredBytes(u"NoOff", ValueType::Dword), Bytes({0x80, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(StoredBytes(u"Shadow", ValueType::Dword), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(StoredBytes(u"Smooth", ValueType::Dword), Bytes({0, 0, 0, 0}));
}

TEST_F(SettingsTest, SkinPathIsWrittenWithItsTerminatorAndEmptyMeansNone) {
    Settings settings;
    settings.SkinPath = QString::fromUtf16(u"/media/card/\u00e9 \"clock\"\\.scs");
    SaveSettings(settings);
    EXPECT_EQ(StoredBytes(u"SkinPath", ValueType::String), Utf16WithTerminator(*settings.SkinPath));
    EXPECT_EQ(Loaded().SkinPath, settings.SkinPath);

    settings.SkinPath.reset();
    SaveSettings(settings);
    EXPECT_EQ(StoredBytes(u"SkinPath", ValueType::String), Bytes({0, 0}));
    PutSkin("default_240.scs");
    EXPECT_EQ(Loaded().SkinPath, PerUserFolder() + "Skins/default_240.scs");
}

TEST_F(SettingsTest, StoredSkinPathMustBeAStringThatFitsThePathBuffer) {
    const QString longest(kMaxPath - 1, QLatin1Char('p'));
    const struct {
        ValueType type;
        Bytes data;
        std::optional<QString> expected;
    } rows[] = {
        {ValueType::String, Utf16WithTerminator(longest), longest},
        {ValueType::String, Utf16WithTerminator(longest + "p"), {}},
        {ValueType::String, {0, 0}, {}},
        {ValueType::String, {}, {}},
        {ValueType::String, {'/'}, {}},
        {ValueType::Dword, {'/', 0, 0, 0}, {}},
        {ValueType::String, Utf16WithTerminator(QString("/a") + QChar(0) + "/b"), QString("/a")},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(StoreSetValue(SettingsKey(), u"SkinPath", row.type, row.data), kStoreOk);
        EXPECT_EQ(Loaded().SkinPath, row.expected) << row.data.size() << " bytes";
    }
}

// A failed or interrupted installation is done again next time; a finished one copies the default
// skins once and never again.
TEST_F(SettingsTest, InstallationCopiesTheDefaultSkinsOnceAndNeverAgain) {
    // An earlier start died half-way: its unfinished folder is cleared and no per-user folder made.
    const QString abandoned = home_.DataHome() + "/TEV/.Marovellastrine-install-abc123";
    ASSERT_TRUE(QDir().mkpath(abandoned + "/Skins"));
    EXPECT_FALSE(InstallPerUserFilesFrom(home_.Path() + "/nowhere/"));
    EXPECT_FALSE(QFile::exists(PerUserFolder()));
    EXPECT_FALSE(QFile::exists(abandoned));

    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    const QString skins = PerUserFolder() + "Skins/";
    EXPECT_EQ(QDir(skins).entryList(QDir::Files),
              QStringList({"default_240.scs", "default_320.scs", "default_480.scs"}));
    EXPECT_EQ(test::ReadAll(skins + "default_320.scs"), "skin of size 320");
    // Nothing of the installation is left beside the per-user folder.
    EXPECT_EQ(QDir(home_.DataHome() + "/TEV")
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"Marovellastrine"}));
    EXPECT_EQ(Loaded().SkinPath, skins + "default_240.scs");

    // Skins the user deleted stay deleted, even the whole Skins folder.
    ASSERT_TRUE(QFile::remove(skins + "default_240.scs"));
    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    EXPECT_FALSE(QFile::exists(skins + "default_240.scs"));
    ASSERT_TRUE(QDir(skins).removeRecursively());
    ASSERT_TRUE(InstallPerUserFilesFrom(installed_));
    EXPECT_FALSE(QFile::exists(skins));
}

} // namespace
} // namespace mv
