// Start-up: the skin loop, pruning the default skins, the whole program, the single instance.
#include "app/main_window.h"
#include "app/prune_default_skins.h"
#include "app/run_program.h"
#include "app/settings.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/single_instance.h"
#include "platform/unique_fd.h"
#include "platform/window_commands.h"
#include "skin/skin_loader.h"
#include "test_env.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace mv {
namespace {

const QString kMissingText =
    QStringLiteral("Current skin file is missing.\n\nSelect another file...");
const QString kTitle = QString::fromUtf16(kProgramTitle);

QString InstalledSkin(const QString& name) {
    return QStringLiteral(MV_BUILD_DATA_DIR "/skins/") + name;
}

bool WaitFor(const std::function<bool()>& done) {
    return test::WaitUntil(done, 10'000);
}

// Runs the whole program in this process, calling `watch` every 50 ms while it runs.
int RunProgramWatched(const std::function<void()>& watch) {
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, watch);
    watcher.start(50);
    return RunProgram();
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { OverrideScreenSize(240, 320); }
    void TearDown() override { OverrideScreenSize(0, 0); }

    QString SkinsFolder() const { return home.DataHome() + "/TEV/Marovellastrine/Skins/"; }
    static std::optional<QString> StoredPath() {
        Settings stored;
        LoadSettings(stored);
        return stored.SkinPath;
    }

    test::IsolatedHome home;
    test::RecordedMessageBoxes recorded;
    std::vector<MessageBoxRequest>& messages = recorded.boxes;
    UnsavedSettingsReport unsavedReport;
};

TEST_F(StartupTest, EachFailureIsReportedAndPickedAgainUntilASkinLoads) {
    const QString missing = home.Path() + "/gone.scs";
    const QString corrupt = home.Path() + "/corrupt.scs";
    ASSERT_TRUE(test::WriteAll(corrupt, "not a skin"));
    const QStringList picks = {corrupt, corrupt, InstalledSkin("default_240.scs")};
    std::vector<std::optional<QString>> seen, stored;
    AppState state;
    state.settings.SkinPath = missing;
    EXPECT_TRUE(LoadStartupSkin(
        state,
        [&](const std::optional<QString>& current, QWidget* owner) {
            EXPECT_EQ(owner, nullptr);
            seen.push_back(current);
            stored.push_back(StoredPath());
            return std::optional(picks[qsizetype(seen.size()) - 1]);
        },
        unsavedReport));

    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, kMissingText);
    EXPECT_TRUE(messages[1].text.startsWith("Error loading") &&
                messages[2].text == messages[1].text);
    // A missing file's path stays while the picker is open; one that failed to load is gone.
    EXPECT_EQ(seen, (std::vector<std::optional<QString>>{missing, std::nullopt, std::nullopt}));
    // Each pick is saved before it is tried.
    EXPECT_EQ(stored[1], corrupt);
    EXPECT_EQ(StoredPath(), picks.last());
    EXPECT_GT(state.face.GetSkin().faceImage.width, 0);
}

// Without room for the temporary file no skin can load; the message says so, and the stored skin,
// which is not at fault, is still the one the picker starts at.
TEST_F(StartupTest, ASkinThatFailsForWantOfATemporaryFileKeepsItsPath) {
    const QString notAFolder = home.Path() + "/not-a-folder";
    ASSERT_TRUE(test::WriteAll(notAFolder, "a file"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(notAFolder));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(notAFolder));
    AppState state;
    state.settings.SkinPath = InstalledSkin("default_240.scs");
    std::optional<QString> seen;
    EXPECT_FALSE(LoadStartupSkin(
        state,
        [&](const std::optional<QString>& current, QWidget*) {
            seen = current;
            return std::optional<QString>();
        },
        unsavedReport));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(
        messages[0].text.startsWith("The skin could not be loaded because the temporary file "
                                    "could not be written:\n\n" +
                                    notAFolder) &&
        messages[0].text.endsWith(": Not a directory"))
        << messages[0].text.toStdString();
    EXPECT_EQ(seen, InstalledSkin("default_240.scs"));
}

// What stays in the skins folder for each screen; the bounds are those of the size classes.
TEST_F(StartupTest, PruningKeepsTheSkinsThatSuitTheScreen) {
    const struct {
        int32_t width, height;
        QStringList kept;
    } rows[] = {
        {320, 480, {"default_320.scs"}},
        {320, 320, {"default_240.scs", "default_320.scs"}},
        {479, 479, {"default_240.scs", "default_320.scs"}},
        {480, 480, {"default_320.scs", "default_480.scs"}},
        {720, 720, {"default_480.scs", "default_720.scs"}},
        {1080, 1920, {"default_1080.scs"}},
        {1079, 1079, {"default_480.scs", "default_720.scs"}},
        {1080, 1080, {"default_1080.scs", "default_720.scs"}},
        {1440, 1440, {"default_1080.scs", "default_1440.scs"}},
    };
    for (const auto& row : rows) {
        QDir(SkinsFolder()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(SkinsFolder()));
        for (uint32_t size : kSizeClasses) {
            const QString name = QString::asprintf("default_%u.scs", size);
            ASSERT_TRUE(QFile::copy(InstalledSkin(name), SkinsFolder() + name));
        }
        ASSERT_TRUE(test::WriteAll(SkinsFolder() + "mine.scs", "a skin of the user's"));
        OverrideScreenSize(row.width, row.height);
        PruneDefaultSkins();
        EXPECT_EQ(QDir(SkinsFolder()).entryList(QDir::Files, QDir::Name).join(' ').toStdString(),
                  (row.kept.join(' ') + " mine.scs").toStdString())
            << row.width << " x " << row.height;
    }
    // Files already gone are no error.
    PruneDefaultSkins();
}

TEST_F(StartupTest, FirstStartLoadsTheDefaultSkinRunsTheClockAndPrunes) {
    bool sawMainWindow = false;
    EXPECT_EQ(RunProgramWatched([&] {
                  for (QWidget* window : QApplication::topLevelWidgets()) {
                      // Ended with Done once pruning (200 ms after start) has happened.
                      if (window->isVisible() && window->windowTitle() == kTitle &&
                          !QFile::exists(SkinsFolder() + "default_1440.scs")) {
                          sawMainWindow = true;
                          dynamic_cast<MainWindow&>(*window).RunCommand(kDoneCommand);
                      }
                  }
              }),
              0);
    EXPECT_TRUE(sawMainWindow);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(QDir(SkinsFolder()).entryList(QDir::Files), QStringList{"default_240.scs"});
    // Nothing was picked, so nothing was written.
    QDirIterator written(home.ConfigHome(), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_FALSE(written.hasNext()) << written.next().toStdString();
}

// Cancelling the picker at start ends the program without a main window, the picker shown once.
TEST_F(StartupTest, DefaultSkinsThatCannotBeInstalledAreReportedBeforeThePicker) {
    ASSERT_TRUE(QDir().mkpath(home.DataHome()));
    ASSERT_TRUE(test::WriteAll(home.DataHome() + "/TEV", "a file where a folder should be"));
    std::vector<size_t> messagesAtPickers;
    bool sawMainWindow = false;
    EXPECT_EQ(RunProgramWatched([&] {
                  for (QWidget* window : QApplication::topLevelWidgets())
                      sawMainWindow |= window->isVisible() && window->windowTitle() == kTitle;
                  if (QWidget* picker = QApplication::activeModalWidget()) {
                      messagesAtPickers.push_back(messages.size());
                      picker->close();
                  }
              }),
              0);
    EXPECT_FALSE(sawMainWindow);
    EXPECT_EQ(messagesAtPickers, std::vector<size_t>{1});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.endsWith(home.DataHome() + "/TEV: Not a directory"));
}

// One holder at a time, which raises the dialog a second start names. Running out of descriptors
// while a peer waits doesn't cost it its socket, and a peer that says nothing is dropped.
TEST(SingleInstance, OneHolderWhoseSocketOutlastsRunningOutOfDescriptorsAndSilentPeers) {
    test::IsolatedHome home;
    auto lock = std::make_unique<SingleInstanceLock>(u"test-lock");
    EXPECT_EQ(lock->State(), InstanceLockState::Held);
    EXPECT_EQ(SingleInstanceLock(u"test-lock").State(), InstanceLockState::HeldByAnother);
    lock.reset();
    lock = std::make_unique<SingleInstanceLock>(u"test-lock");
    ASSERT_EQ(lock->State(), InstanceLockState::Held);
    EXPECT_FALSE(AskRunningInstanceToRaise(u"no-such-lock", kTitle));
    // The dialog a second start should raise, titled as the program's, and another one active.
    QDialog wanted, other;
    wanted.setWindowTitle(kTitle);
    wanted.show();
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));

    const QByteArray socketPath = (home.RuntimeDir() + "/test-lock.socket").toUtf8();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const UniqueFd silent(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(::connect(silent.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
              0);
    {
        // Every descriptor taken while the instance tries to take the silent peer's connection.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit lowered = saved;
        lowered.rlim_cur = 256;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        std::vector<UniqueFd> filler;
        for (int fd = 0; (fd = ::dup(silent.Get())) >= 0;)
            filler.emplace_back(fd);
        test::WaitUntil([] { return false; }, 300);
        filler.clear();
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    }
    EXPECT_TRUE(QFileInfo(QString::fromUtf8(socketPath)).exists());
    EXPECT_TRUE(AskRunningInstanceToRaise(u"test-lock", kTitle));
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &wanted; }));
    // The silent peer's connection is closed by the instance: it reads the end.
    char byte = 0;
    EXPECT_TRUE(WaitFor([&] { return ::recv(silent.Get(), &byte, 1, MSG_DONTWAIT) == 0; }));
}

TEST(SingleInstance, NoRuntimeFolderEndsWithAReasonAndFailure) {
    test::IsolatedHome home;
    ASSERT_TRUE(test::WriteAll(home.CacheHome(), "a file where a folder should be"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start("setpriv", {"--bounding-set", "-sys_time", "--inh-caps", "-sys_time", "--",
                              QStringLiteral(MV_BIN_DIR "/marovellastrine")});
    ASSERT_TRUE(program.waitForFinished(10'000));
    EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 1);
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(said.contains(home.CacheHome() + "/TEV-runtime-") &&
                said.contains("Not a directory"))
        << said.toStdString();
}

} // namespace
} // namespace mv
