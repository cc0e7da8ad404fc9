// The platform store: exact values, result codes, key lookup, broken files, the read-only root,
// links, failed writes and their reasons, parsing once, writers that overlap and writers killed
// at any moment.
#include "platform/store.h"
#include "platform/store_file.h"
#include "store_crash_payload.h"
#include "test_env.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mv {
namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian UTF-16, as the store keeps strings, with a terminator unless told otherwise.
Bytes Utf16Bytes(std::u16string_view text, bool terminated = true) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(uint8_t(unit));
        bytes.push_back(uint8_t(unit >> 8));
    }
    if (terminated)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocalMachine_ = qgetenv("MV_LOCAL_MACHINE_STORE");
        qputenv("MV_LOCAL_MACHINE_STORE", (home_.Path() + "/etc/local-machine.store").toUtf8());
    }
    void TearDown() override {
        if (savedLocalMachine_.isNull())
            qunsetenv("MV_LOCAL_MACHINE_STORE");
        else
            qputenv("MV_LOCAL_MACHINE_STORE", savedLocalMachine_);
    }

    static StoreKey WritableKey(std::u16string_view path = u"Software\\Test\\") {
        StoreKey key;
        EXPECT_EQ(
            StoreCreateKey(StoreRoot::CurrentUser, path, StoreAccess::ReadWrite, key, nullptr),
            kStoreOk);
        return key;
    }

    // The value's type and bytes, read with a buffer of exactly its size.
    static int32_t Read(const StoreKey& key, std::u16string_view name, ValueType& type,
                        Bytes& data) {
        uint32_t size = 0;
        int32_t status = StoreQueryValue(key, name, type, {}, size);
        if (status != kStoreMoreData && status != kStoreOk)
            return status;
        data.assign(size, 0xCD);
        return StoreQueryValue(key, name, type, data, size);
    }

    QStringList BrokenFiles() const {
        return QDir(home_.ConfigHome() + "/tev-platform")
            .entryList({"current-user.store.broken-*"}, QDir::Files);
    }

    test::IsolatedHome home_;
    QByteArray savedLocalMachine_;
};

struct RawValue {
    std::u16string name;
    ValueType type;
    Bytes data;
};

TEST_F(StoreTest, ValuesComeBackWithExactTypesAndBytes) {
    using namespace std::string_literals;
    const std::u16string oddString =
        u"q\"b\\n\nt\tc\x01 d\x7f\x85 hi\xd800 lo\xdc00 pair\U0001F600 "
        u"\u00e9\u4e2d nul\0end"s;
    Bytes allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.push_back(uint8_t(i));
    const std::vector<RawValue> values = {
        {u"Dword", ValueType::Dword, {0x80, 0xFF, 0xFF, 0xFF}},
        {u"Plain", ValueType::String, Utf16Bytes(u"/home/ann/skins/a b.scs")},
        {u"Odd", ValueType::String, Utf16Bytes(oddString)},
        {u"EmptyString", ValueType::String, {0, 0}},
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
    for (const RawValue& value : values)
        ASSERT_EQ(StoreSetValue(key, value.name, value.type, value.data), kStoreOk);
    // A later write rewrites the whole file: every earlier value must survive it unchanged.
    ASSERT_EQ(StoreSetDword(key, u"Last", 0xDEADBEEF), kStoreOk);

    for (const RawValue& value : values) {
        SCOPED_TRACE(QString::fromStdU16String(value.name).toStdString());
        ValueType type{};
        Bytes data;
        ASSERT_EQ(Read(key, value.name, type, data), kStoreOk);
        EXPECT_EQ(type, value.type);
        EXPECT_EQ(data, value.data);
    }
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(test::ReadAll(file).contains("Dword = dword:0xFFFFFF80\n"));
}

TEST_F(StoreTest, ResultCodes) {
    const StoreKey key = WritableKey();
    ASSERT_EQ(StoreSetString(key, u"Text", u"0123456789"), kStoreOk);
    ASSERT_EQ(StoreSetValue(key, u"Long", ValueType::Dword, Bytes(8, 1)), kStoreOk);
    ASSERT_EQ(StoreSetValue(key, u"Short", ValueType::Dword, Bytes(2, 1)), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"Number", 42), kStoreOk);

    RegistryKey owner;
    EXPECT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\Missing", StoreAccess::Read),
              kStoreNotFound);
    EXPECT_FALSE(owner.IsOpen());
    uint32_t value = 0;
    EXPECT_EQ(owner.QueryDword(u"Number", value), kStoreInvalidHandle);
    ASSERT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\Test", StoreAccess::Read), kStoreOk);
    EXPECT_EQ(owner.QueryDword(u"Number", value), kStoreOk);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(owner.QueryDword(u"Text", value), kStoreInvalidData);
    EXPECT_EQ(owner.QueryDword(u"Missing", value), kStoreNotFound);
    EXPECT_EQ(owner.QueryDword(u"Long", value), kStoreMoreData);
    EXPECT_EQ(owner.QueryDword(u"Short", value), kStoreInvalidData);
    // A failed open keeps the key that is held.
    EXPECT_EQ(owner.Open(StoreRoot::CurrentUser, u"Software\\Missing", StoreAccess::Read),
              kStoreNotFound);
    EXPECT_TRUE(owner.IsOpen());

    ValueType type{};
    uint8_t small[4] = {};
    uint32_t size = 0;
    EXPECT_EQ(StoreQueryValue(key, u"Text", type, small, size), kStoreMoreData);
    EXPECT_EQ(type, ValueType::String);
    EXPECT_EQ(size, 22u);

    EXPECT_TRUE(ReadDword(key, u"Number", value));
    EXPECT_FALSE(ReadDword(key, u"Text", value));

    for (const std::u16string_view badPath : {u"\\Software", u"Software\\\\Test", u"A\\B\\\\"}) {
        StoreKey ignored;
        EXPECT_EQ(StoreOpenKey(StoreRoot::CurrentUser, badPath, StoreAccess::Read, ignored),
                  kStoreInvalidParameter);
    }
}

TEST_F(StoreTest, KeysAndNamesIgnoreLetterCase) {
    StoreKey key;
    KeyDisposition disposition{};
    ASSERT_EQ(StoreCreateKey(StoreRoot::CurrentUser, u"Software\\TEV\\Marovellastrine\\",
                             StoreAccess::ReadWrite, key, &disposition),
              kStoreOk);
    EXPECT_EQ(disposition, KeyDisposition::CreatedNew);
    ASSERT_EQ(StoreCreateKey(StoreRoot::CurrentUser, u"SOFTWARE\\tev\\MAROVELLASTRINE",
                             StoreAccess::ReadWrite, key, &disposition),
              kStoreOk);
    EXPECT_EQ(disposition, KeyDisposition::OpenedExisting);
    ASSERT_EQ(StoreSetDword(key, u"Smooth", 1), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"SMOOTH", 2), kStoreOk);

    RegistryKey owner;
    ASSERT_EQ(
        owner.Open(StoreRoot::CurrentUser, u"software\\Tev\\marovellastrine\\", StoreAccess::Read),
        kStoreOk);
    uint32_t value = 0;
    EXPECT_EQ(owner.QueryDword(u"smooth", value), kStoreOk);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(test::ReadAll(StoreFilePath(StoreRoot::CurrentUser)).count("mooth = "), 1);
    // Keys above a created key exist too.
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
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    qsizetype setAside = 0;
    for (const QByteArray& content : broken) {
        SCOPED_TRACE(content.toStdString());
        ASSERT_TRUE(test::WriteAll(file, content));
        StoreKey key;
        EXPECT_EQ(
            StoreOpenKey(StoreRoot::CurrentUser, u"Software\\Test", StoreAccess::ReadWrite, key),
            kStoreNotFound);
        ASSERT_EQ(StoreCreateKey(StoreRoot::CurrentUser, u"Software\\Test", StoreAccess::ReadWrite,
                                 key, nullptr),
                  kStoreOk);
        ASSERT_EQ(StoreSetDword(key, u"Y", 5), kStoreOk);
        // Nothing is lost: the broken content sits beside the new store, byte for byte.
        const QStringList aside = BrokenFiles();
        ASSERT_EQ(aside.size(), ++setAside);
        bool found = false;
        for (const QString& name : aside)
            found = found || test::ReadAll(QFileInfo(file).absolutePath() + "/" + name) == content;
        EXPECT_TRUE(found);
        uint32_t value = 0;
        EXPECT_FALSE(ReadDword(key, u"X", value));
        EXPECT_TRUE(ReadDword(key, u"Y", value));
        ASSERT_TRUE(QFile::remove(file));
    }
}

TEST_F(StoreTest, LocalMachineIsReadOnly) {
    const QString file = StoreFilePath(StoreRoot::LocalMachine);
    const QByteArray content = "[Explorer]\nViewAll = dword:0x00000001\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    ASSERT_TRUE(test::WriteAll(file, content));

    StoreKey key;
    ASSERT_EQ(StoreOpenKey(StoreRoot::LocalMachine, u"Explorer", StoreAccess::Read, key), kStoreOk);
    uint32_t value = 0;
    EXPECT_TRUE(ReadDword(key, u"ViewAll", value));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(ReadStoredDword(StoreRoot::LocalMachine, u"explorer", u"ViewAll"), 1u);
    EXPECT_EQ(ReadStoredDword(StoreRoot::LocalMachine, u"Explorer", u"Missing"), std::nullopt);
    EXPECT_EQ(ReadStoredDword(StoreRoot::LocalMachine, u"Missing", u"ViewAll"), std::nullopt);
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
    constexpr uint32_t kWrites = 60;
    const StoreKey key = WritableKey();
    auto writer = [&key](std::u16string_view name) {
        for (uint32_t i = 1; i <= kWrites; ++i)
            ASSERT_EQ(StoreSetDword(key, name, i), kStoreOk);
    };
    std::thread first(writer, u"First");
    std::thread second(writer, u"Second");
    first.join();
    second.join();
    uint32_t firstValue = 0, secondValue = 0;
    EXPECT_TRUE(ReadDword(key, u"First", firstValue) && ReadDword(key, u"Second", secondValue));
    EXPECT_EQ(firstValue, kWrites);
    EXPECT_EQ(secondValue, kWrites);
}

// A store file kept elsewhere (a dotfiles folder) and linked into place stays linked: the write
// replaces the file the link leads to, beside which its temporary is made.
TEST_F(StoreTest, WritesThroughALinkReplaceTheLinkedFile) {
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    const QString dotfiles = home_.Path() + "/dotfiles";
    ASSERT_TRUE(QDir().mkpath(dotfiles) && QDir().mkpath(QFileInfo(file).absolutePath()));
    struct Row {
        const char* what;
        QString linkText;    // what the store's link holds
        QString linkedFile;  // the file that must receive the content
        QByteArray existing; // its content before, empty for none
    };
    const Row rows[] = {
        {"absolute", dotfiles + "/a.store", dotfiles + "/a.store",
         "[Software\\Test]\nX = dword:0x00000007\n"},
        {"relative", "../../dotfiles/b.store", dotfiles + "/b.store", "[Software\\Test]\n"},
        {"dangling", dotfiles + "/new.store", dotfiles + "/new.store", {}},
        {"link to a link", dotfiles + "/hop", dotfiles + "/c.store", "[Software\\Test]\n"},
    };
    ASSERT_TRUE(QFile::link(dotfiles + "/c.store", dotfiles + "/hop"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(file);
        ASSERT_TRUE(QFile::link(row.linkText, file));
        ASSERT_TRUE(row.existing.isEmpty() || test::WriteAll(row.linkedFile, row.existing));
        ASSERT_EQ(StoreSetDword(WritableKey(), u"Y", 5), kStoreOk);
        EXPECT_TRUE(QFileInfo(file).isSymLink());
        EXPECT_TRUE(test::ReadAll(row.linkedFile).contains("Y = dword:0x00000005\n"));
        EXPECT_EQ(test::ReadAll(row.linkedFile).contains("X = "), row.existing.contains("X = "));
        EXPECT_TRUE(QDir(dotfiles).entryList({"*.tmp-*"}, QDir::Files).isEmpty());
    }
}

// A write that fails says which file or folder it met and the system's reason.
TEST_F(StoreTest, FailedWritesTellWhereAndWhy) {
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    const QString folder = QFileInfo(file).absolutePath();
    const StoreKey key = WritableKey();
    struct Row {
        const char* what;
        std::function<bool()> arrange;
        QString path;
        int systemError;
    };
    const Row rows[] = {
        {"store is a folder", [&] { return QFile::remove(file) && QDir().mkpath(file); }, file,
         EISDIR},
        {"folder is a file",
         [&] { return QDir(folder).removeRecursively() && test::WriteAll(folder, "x"); }, folder,
         ENOTDIR},
        {"link into a missing folder",
         [&] {
             return QFile::remove(folder) && QDir().mkpath(folder) &&
                    QFile::link(home_.Path() + "/gone/x.store", file);
         },
         home_.Path() + "/gone/x.store", ENOENT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(row.arrange());
        StoreWriteError error;
        EXPECT_EQ(StoreSetValue(key, u"X", ValueType::Dword, Bytes(4, 1), &error),
                  kStoreAccessDenied);
        EXPECT_EQ(error.path, row.path);
        EXPECT_EQ(error.systemError, row.systemError);
    }
}

// Each content of the store is parsed once, however many values are read from it, and a write
// doesn't make the next read parse again.
TEST_F(StoreTest, EachContentIsParsedOnce) {
    const StoreKey key = WritableKey();
    const StoreNamedValue values[] = {DwordValue(u"Many", 1), DwordValue(u"MANY", 2),
                                      StringValue(u"Other", u"text")};
    ASSERT_EQ(StoreSetValues(key, values), kStoreOk);
    const uint64_t before = StoreFileParseCount();
    uint32_t value = 0;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(ReadDword(key, u"many", value) && value == 2);
    EXPECT_EQ(StoreFileParseCount(), before);

    // Another writer's content is noticed, and parsed once.
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    ASSERT_TRUE(test::WriteAll(file, "[Software\\Test]\nMany = dword:0x00000003\n"));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(ReadDword(key, u"Many", value) && value == 3);
    EXPECT_EQ(StoreFileParseCount(), before + 1);
}

// Starts the writer with its standard output on a pipe and waits until it is about to write.
pid_t StartCrashWriter(int& readyPipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const char* path = MV_BIN_DIR "/store_crash_writer";
    char* const argv[] = {const_cast<char*>(path), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    readyPipe = fds[0];
    return spawned == 0 ? pid : -1;
}

TEST_F(StoreTest, WriterKilledAtAnyMomentLeavesOldOrNewContent) {
    constexpr int kKills = 200;
    const std::u16string payloads[2] = {test::CrashPayload(0), test::CrashPayload(1)};
    const StoreKey key = WritableKey(test::kCrashKeyPath);
    ASSERT_EQ(StoreSetString(key, test::kCrashValueName, payloads[0]), kStoreOk);
    ASSERT_EQ(StoreSetDword(key, u"Witness", 0x12345678), kStoreOk);

    // Kill moments spread over one and a half writes, so that most land inside a write.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(StoreSetString(key, test::kCrashValueName, payloads[0]), kStoreOk);
    const auto writeTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int64_t> delayMicroseconds(0, writeTime.count() * 3 / 2 + 1000);
    int seen[2] = {0, 0};
    for (int kill = 0; kill < kKills; ++kill) {
        int readyPipe = -1;
        const pid_t writer = StartCrashWriter(readyPipe);
        ASSERT_GT(writer, 0);
        // Every fourth writer is first let finish one write, so kills surely come after
        // completed writes too; the others are killed during their first writes or between.
        char signal = 0;
        bool started = ::read(readyPipe, &signal, 1) == 1;
        if (started && kill % 4 == 0)
            started = ::read(readyPipe, &signal, 1) == 1;
        ::usleep(useconds_t(delayMicroseconds(random)));
        ::kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ::close(readyPipe);
        ASSERT_TRUE(started) << "the writer failed before writing";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        ValueType type{};
        Bytes data;
        ASSERT_EQ(Read(key, test::kCrashValueName, type, data), kStoreOk) << "after kill " << kill;
        const bool old = data == Utf16Bytes(payloads[0]);
        const bool fresh = data == Utf16Bytes(payloads[1]);
        ASSERT_TRUE(old || fresh) << "after kill " << kill << ": " << data.size() << " bytes";
        ++seen[fresh ? 1 : 0];
        uint32_t witness = 0;
        ASSERT_TRUE(ReadDword(key, u"Witness", witness));
        EXPECT_EQ(witness, 0x12345678u);
    }
    // Both contents were seen: the writers did get through.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    // Temporaries of killed writers are cleared by the next write; at most the last one remains.
    const QStringList leftovers = QDir(home_.ConfigHome() + "/tev-platform")
                                      .entryList({"current-user.store.tmp-*"}, QDir::Files);
    EXPECT_LE(leftovers.size(), 1);
    EXPECT_TRUE(BrokenFiles().isEmpty());
}

} // namespace
} // namespace mv
