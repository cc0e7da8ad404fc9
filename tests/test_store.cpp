// The platform store: values, lookup, broken files, links, failed writes, concurrent writers.
#include "platform/store.h"
#include "platform/store_file.h"
#include "store_crash_payload.h"
#include "test_env.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mv {
namespace {

using Bytes = std::vector<uint8_t>;

using test::Utf16Bytes;

class StoreTest : public ::testing::Test {
protected:
    static StoreKey WritableKey(std::u16string_view path = u"Software\\Test\\") {
        StoreKey key;
        EXPECT_EQ(
            StoreCreateKey(StoreRoot::CurrentUser, path, StoreAccess::ReadWrite, key, nullptr),
            kStoreOk);
        return key;
    }

    // The value's bytes, read with a buffer of exactly its size.
    static int32_t Read(const StoreKey& key, std::u16string_view name, ValueType& type,
                        Bytes& data) {
        uint32_t size = 0;
        int32_t status = StoreQueryValue(key, name, type, {}, size);
        if (status != kStoreMoreData && status != kStoreOk)
            return status;
        data.assign(size, 0xCD);
        return StoreQueryValue(key, name, type, data, size);
    }

    QStringList StoreFiles(const QString& pattern) const {
        return QDir(home_.ConfigHome() + "/tev-platform").entryList({pattern}, QDir::Files);
    }

    test::IsolatedHome home_;
    const QString file_ = StoreFilePath(StoreRoot::CurrentUser);
};

TEST_F(StoreTest, ValuesComeBackWithExactTypesAndBytes) {
    using namespace std::string_literals;
    const std::u16string oddString =
        u"q\"b\\n\nt\tc\x01 d\x7f\x85 hi\xd800 lo\xdc00 pair\U0001F600 \u00e9\u4e2d nul\0end"s;
    Bytes allBytes(256);
    std::iota(allBytes.begin(), allBytes.end(), 0);
    const struct {
        std::u16string name;
        ValueType type;
        Bytes data;
    } values[] = {
        {u"Dword", ValueType::Dword, {0x80, 0xFF, 0xFF, 0xFF}},
        {u"Odd", ValueType::String, Utf16Bytes(oddString)},
        {u"NoTerminator", ValueType::String, Utf16Bytes(u"abc", false)},
        {u"OddByteCount", ValueType::String, {'a', 0, 'b'}},
        {u"NoBytes", ValueType::String, {}},
        {u"ShortDword", ValueType::Dword, {1, 2, 3}},
        {u"LongDword", ValueType::Dword, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"Binary", ValueType(3), allBytes},
        {u"", ValueType::Dword, {7, 0, 0, 0}},
        {u"with space = and \"quote\"", ValueType::Dword, {1, 0, 0, 0}},
        {u"[not a key]", ValueType::Dword, {2, 0, 0, 0}},
        {u"# not a comment", ValueType::Dword, {3, 0, 0, 0}},
        {u"n\u00e4me\nline", ValueType::Dword, {4, 0, 0, 0}},
    };
    const StoreKey key = WritableKey();
    for (const auto& value : values)
        ASSERT_EQ(StoreSetValue(key, value.name, value.type, value.data), kStoreOk);
    // A later write rewrites the whole file: every earlier value must survive it unchanged.
    ASSERT_EQ(StoreSetDword(key, u"Last", 0xDEADBEEF), kStoreOk);
    for (const auto& value : values) {
        SCOPED_TRACE(QString::fromStdU16String(value.name).toStdString());
        ValueType type{};
        Bytes data;
        ASSERT_EQ(Read(key, value.name, type, data), kStoreOk);
        EXPECT_EQ(type, value.type);
        EXPECT_EQ(data, value.data);
    }
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file_).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(StoreTest, ResultCodes) {
    const StoreKey key = WritableKey();
    ASSERT_EQ(StoreSetString(key, u"Text", u"0123456789"), kStoreOk);
    ASSERT_EQ(StoreSetValue(key, u"Long", ValueType::Dword, Bytes(8, 1)), kStoreOk);
    ASSERT_EQ(StoreSetValue(key, u"Short", ValueType::Dword, Bytes(2, 1)), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"Number", 42), kStoreOk);

    RegistryKey owner;
    uint32_t value = 0;
    EXPECT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\Missing", StoreAccess::Read),
              kStoreNotFound);
    EXPECT_EQ(owner.QueryDword(u"Number", value), kStoreInvalidHandle);
    ASSERT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\Test", StoreAccess::Read), kStoreOk);
    const std::pair<std::u16string_view, int32_t> queries[] = {{u"Number", kStoreOk},
                                                               {u"Text", kStoreInvalidData},
                                                               {u"Missing", kStoreNotFound},
                                                               {u"Long", kStoreMoreData},
                                                               {u"Short", kStoreInvalidData}};
    for (const auto& [name, status] : queries)
        EXPECT_EQ(owner.QueryDword(name, value), status);
    EXPECT_EQ(value, 42u);
    // A failed open keeps the key that is held.
    owner.Open(StoreRoot::CurrentUser, u"Software\\Missing", StoreAccess::Read);
    EXPECT_TRUE(owner.IsOpen());

    ValueType type{};
    uint8_t small[4] = {};
    uint32_t size = 0;
    EXPECT_EQ(StoreQueryValue(key, u"Text", type, small, size), kStoreMoreData);
    EXPECT_EQ(size, 22u);
    for (const std::u16string_view badPath : {u"\\Software", u"Software\\\\Test", u"A\\B\\\\"}) {
        StoreKey ignored;
        EXPECT_EQ(StoreOpenKey(StoreRoot::CurrentUser, badPath, StoreAccess::Read, ignored),
                  kStoreInvalidParameter);
    }
}

TEST_F(StoreTest, KeysAndNamesIgnoreLetterCase) {
    StoreKey key;
    KeyDisposition disposition{};
    for (const auto& [path, expected] :
         {std::pair{u"Software\\TEV\\Marovellastrine\\", KeyDisposition::CreatedNew},
          std::pair{u"SOFTWARE\\tev\\MAROVELLASTRINE", KeyDisposition::OpenedExisting}}) {
        ASSERT_EQ(
            StoreCreateKey(StoreRoot::CurrentUser, path, StoreAccess::ReadWrite, key, &disposition),
            kStoreOk);
        EXPECT_EQ(disposition, expected);
    }
    ASSERT_EQ(StoreSetDword(key, u"Smooth", 1), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"SMOOTH", 2), kStoreOk);
    EXPECT_EQ(
        ReadStoredDword(StoreRoot::CurrentUser, u"software\\Tev\\marovellastrine\\", u"smooth"),
        2u);
    EXPECT_EQ(test::ReadAll(file_).count("mooth = "), 1);
    // Keys above a created key exist too.
    RegistryKey owner;
    EXPECT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\TEV", StoreAccess::Read), kStoreOk);
    EXPECT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\TE", StoreAccess::Read),
              kStoreNotFound);
}

TEST_F(StoreTest, BrokenFileReadsAsEmptyAndIsSetAsideBeforeAWrite) {
    const QByteArray broken[] = {
        QByteArray("\x00\x01\x02 binary \xff\xfe", 13),
        "[Software\\Test]\nX = sz:\"unterminated\n",
        "X = dword:0x1\n[Software\\Test]\n",
        "[Software\\Test]\nX = sz:\"\xc3\x28\"\n",
        "[Software\\Test]\nX = sz:\"bad \\q escape\"\n",
        "[Software\\Test]\nX = dword:0x123456789\n",
        "[Software\\Test]\nX = hex(3):0,1\n",
        "[Software\\Test\nX = dword:0x1\n",
    };
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file_).absolutePath()));
    qsizetype setAside = 0;
    for (const QByteArray& content : broken) {
        SCOPED_TRACE(content.toStdString());
        ASSERT_TRUE(test::WriteAll(file_, content));
        EXPECT_EQ(ReadStoredDword(StoreRoot::CurrentUser, u"Software\\Test", u"X"), std::nullopt);
        ASSERT_EQ(StoreSetDword(WritableKey(), u"Y", 5), kStoreOk);
        // Nothing is lost: the broken content sits beside the new store, byte for byte.
        const QStringList aside = StoreFiles("current-user.store.broken-*");
        ASSERT_EQ(aside.size(), ++setAside);
        EXPECT_TRUE(std::ranges::any_of(aside, [&](const QString& name) {
            return test::ReadAll(QFileInfo(file_).absolutePath() + "/" + name) == content;
        }));
        EXPECT_EQ(ReadStoredDword(StoreRoot::CurrentUser, u"Software\\Test", u"Y"), 5u);
        ASSERT_TRUE(QFile::remove(file_));
    }
}

TEST_F(StoreTest, LocalMachineIsReadOnly) {
    const QString file = StoreFilePath(StoreRoot::LocalMachine);
    const QByteArray content = "[Explorer]\nViewAll = dword:0x00000001\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    ASSERT_TRUE(test::WriteAll(file, content));

    StoreKey key;
    ASSERT_EQ(StoreOpenKey(StoreRoot::LocalMachine, u"Explorer", StoreAccess::Read, key), kStoreOk);
    EXPECT_EQ(ReadStoredDword(StoreRoot::LocalMachine, u"explorer", u"ViewAll"), 1u);
    EXPECT_EQ(StoreSetDword(key, u"ViewAll", 0), kStoreAccessDenied);
    EXPECT_EQ(StoreOpenKey(StoreRoot::LocalMachine, u"Explorer", StoreAccess::ReadWrite, key),
              kStoreAccessDenied);
    EXPECT_EQ(StoreCreateKey(StoreRoot::LocalMachine, u"Other", StoreAccess::Read, key, nullptr),
              kStoreAccessDenied);
    EXPECT_EQ(test::ReadAll(file), content);

    // A key opened for reading only can't be written in the current user's root either.
    WritableKey();
    ASSERT_EQ(StoreOpenKey(StoreRoot::CurrentUser, u"Software\\Test", StoreAccess::Read, key),
              kStoreOk);
    EXPECT_EQ(StoreSetDword(key, u"X", 1), kStoreAccessDenied);
}

TEST_F(StoreTest, OverlappingWritersKeepEachOthersValues) {
    const StoreKey key = WritableKey();
    auto writer = [&key](std::u16string_view name) {
        for (uint32_t i = 1; i <= 60; ++i)
            ASSERT_EQ(StoreSetDword(key, name, i), kStoreOk);
    };
    std::thread first(writer, u"First");
    std::thread second(writer, u"Second");
    first.join();
    second.join();
    for (const std::u16string_view name : {u"First", u"Second"})
        EXPECT_EQ(ReadStoredDword(StoreRoot::CurrentUser, u"Software\\Test", name), 60u);
}

// A store file kept elsewhere (a dotfiles folder) and linked into place stays linked: the write
// replaces the file the link leads to, beside which its temporary is made.
TEST_F(StoreTest, WritesThroughALinkReplaceTheLinkedFile) {
    const QString dotfiles = home_.Path() + "/dotfiles";
    ASSERT_TRUE(QDir().mkpath(dotfiles) && QDir().mkpath(QFileInfo(file_).absolutePath()));
    const struct {
        QString linkText, linkedFile; // what the store's link holds, the file that gets the write
        QByteArray existing;          // its content before, empty for none
    } rows[] = {
        {dotfiles + "/a.store", dotfiles + "/a.store", "[Software\\Test]\nX = dword:0x00000007\n"},
        {"../../dotfiles/b.store", dotfiles + "/b.store", "[Software\\Test]\n"},
        {dotfiles + "/new.store", dotfiles + "/new.store", {}},
        {dotfiles + "/hop", dotfiles + "/c.store", "[Software\\Test]\n"},
    };
    ASSERT_TRUE(QFile::link(dotfiles + "/c.store", dotfiles + "/hop"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.linkText.toStdString());
        QFile::remove(file_);
        ASSERT_TRUE(QFile::link(row.linkText, file_));
        ASSERT_TRUE(row.existing.isEmpty() || test::WriteAll(row.linkedFile, row.existing));
        ASSERT_EQ(StoreSetDword(WritableKey(), u"Y", 5), kStoreOk);
        EXPECT_TRUE(QFileInfo(file_).isSymLink());
        const QByteArray written = test::ReadAll(row.linkedFile);
        EXPECT_TRUE(written.contains("Y = dword:0x00000005\n"));
        EXPECT_EQ(written.contains("X = "), row.existing.contains("X = "));
        EXPECT_TRUE(QDir(dotfiles).entryList({"*.tmp-*"}, QDir::Files).isEmpty());
    }
}

TEST_F(StoreTest, FailedWritesTellWhereAndWhy) {
    const QString folder = QFileInfo(file_).absolutePath();
    const QString gone = home_.Path() + "/gone/x.store";
    const StoreKey key = WritableKey();
    const struct {
        std::function<bool()> arrange;
        QString path;
        int systemError;
    } rows[] = {
        {[&] { return QFile::remove(file_) && QDir().mkpath(file_); }, file_, EISDIR},
        {[&] { return QDir(folder).removeRecursively() && test::WriteAll(folder, "x"); }, folder,
         ENOTDIR},
        {[&] { return QFile::remove(folder) && QDir().mkpath(folder) && QFile::link(gone, file_); },
         gone, ENOENT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        ASSERT_TRUE(row.arrange());
        StoreWriteError error;
        EXPECT_EQ(StoreSetValue(key, u"X", ValueType::Dword, Bytes(4, 1), &error),
                  kStoreAccessDenied);
        EXPECT_EQ(error.path, row.path);
        EXPECT_EQ(error.systemError, row.systemError);
    }
}

// Each content is parsed once, however many values are read; another writer's is noticed.
TEST_F(StoreTest, EachContentIsParsedOnce) {
    const StoreKey key = WritableKey();
    const StoreNamedValue values[] = {DwordValue(u"Many", 1), DwordValue(u"MANY", 2),
                                      StringValue(u"Other", u"text")};
    ASSERT_EQ(StoreSetValues(key, values), kStoreOk);
    const uint64_t before = StoreFileParseCount();
    for (const auto& [content, expected] :
         {std::pair{QByteArray(), 2u},
          std::pair{QByteArray("[Software\\Test]\nMany = dword:0x00000003\n"), 3u}}) {
        ASSERT_TRUE(content.isEmpty() || test::WriteAll(file_, content));
        uint32_t value = 0;
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(ReadDword(key, u"many", value) && value == expected);
    }
    EXPECT_EQ(StoreFileParseCount(), before + 1);
}

// A writer killed during or between its writes leaves one of the two whole contents, and the
// temporaries of killed writers are cleared by the next write.
TEST_F(StoreTest, WriterKilledAtAnyMomentLeavesOldOrNewContent) {
    const Bytes contents[2] = {Utf16Bytes(test::CrashPayload(0)),
                               Utf16Bytes(test::CrashPayload(1))};
    const StoreKey key = WritableKey(test::kCrashKeyPath);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(StoreSetString(key, test::kCrashValueName, test::CrashPayload(0)), kStoreOk);
    const auto writeTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    // Kill moments spread over one and a half writes after the writer's first one completed.
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int64_t> delayMicroseconds(0, writeTime.count() * 3 / 2 + 1000);
    int seen[2] = {0, 0};
    for (int kill = 0; kill < 200; ++kill) {
        QProcess writer;
        writer.start(MV_BIN_DIR "/store_crash_writer", {});
        ASSERT_TRUE(writer.waitForReadyRead(10'000)) << "the writer failed before writing";
        ::usleep(useconds_t(delayMicroseconds(random)));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished());
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";

        ValueType type{};
        Bytes data;
        ASSERT_EQ(Read(key, test::kCrashValueName, type, data), kStoreOk) << "after kill " << kill;
        const auto which = std::ranges::find(contents, data) - std::begin(contents);
        ASSERT_LT(which, 2) << "after kill " << kill << ": " << data.size() << " bytes";
        ++seen[which];
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_LE(StoreFiles("current-user.store.tmp-*").size(), 1);
}

} // namespace
} // namespace mv
