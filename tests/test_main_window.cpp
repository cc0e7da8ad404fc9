// The main window: set-up and end, full screen, the commands, keep-awake, the screen saver.
#include "app/clock_tick.h"
#include "app/main_window.h"
#include "clock/clock_face_widget.h"
#include "platform/device_clock.h"
#include "platform/keep_awake.h"
#include "platform/screen.h"
#include "platform/store.h"
#include "resources/resource_ids.h"
#include "skin/skin_loader.h"
#include "test_env.h"
#include "ui/dialog_controls.h"
#include "ui/shell_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDialog>
#include <QDir>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <qpa/qwindowsysteminterface.h>

namespace mv {
namespace {

using test::WaitUntil;

constexpr int64_t kSomeUtcCount = 133'000'000'000'000'000; // a day in 2022

void SetTick(uint32_t tick) {
    UseManualClock(kSomeUtcCount, tick);
}

const QString kDefaultSkin = QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs");

// The window of a program that has loaded the 240 default skin, set up but not shown.
struct LoadedWindow {
    LoadedWindow() {
        state->settings.SkinPath = kDefaultSkin;
        loaded = state->face.LoadSkin(kDefaultSkin, FaceOptionsOf(state->settings));
        window = std::make_unique<MainWindow>(*state, state->settings, unsavedReport);
        initialised = loaded && window->InitMainWindow();
    }

    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    UnsavedSettingsReport unsavedReport;
    std::unique_ptr<MainWindow> window;
    bool loaded = false;
    bool initialised = false;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideScreenDpi(96, 96);
        SetTick(1'000'000);
        app.emplace();
        ASSERT_TRUE(app->initialised);
        state = app->state.get();
        window = app->window.get();
        window->show();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == window; }));
    }
    void TearDown() override {
        app.reset();
        UseSystemClock();
    }

    void Tap(bool press) {
        QWidget* face = window->Face();
        const QPointF at(face->width() / 2, face->height() / 2);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, face->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            if (press || type == QEvent::MouseButtonRelease)
                QApplication::sendEvent(face, &event);
        }
    }

    void Activate() {
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(window, &activate);
    }

    // Normal mode shows the bar of the connection state (disconnected here); full screen none.
    bool ShowsBars(bool connect) const {
        return window->ConnectBar()->isVisible() == connect &&
               !window->DisconnectBar()->isVisible();
    }

    test::IsolatedHome home;
    test::RecordedMessageBoxes messages;
    std::optional<LoadedWindow> app;
    AppState* state = nullptr;
    MainWindow* window = nullptr;
};

// A tap toggles full screen unless it comes within 200 ms of the window's activation (a tap that
// brought the window up); each tap spends the guard. Across the tick counter's wrap one
// millisecond less counts.
TEST_F(MainWindowTest, TapsToggleFullScreenExceptJustAfterActivation) {
    const struct {
        std::optional<uint32_t> activatedAt;
        uint32_t tappedAt;
        bool press;
        bool toggles;
    } taps[] = {
        {5000, 5200, true, false},       {std::nullopt, 5200, true, true},
        {77, 100'000, false, false},     {0xFFFF'FFF0u, 185, true, false},
        {0xFFFF'FFF0u, 186, true, true}, {1000, 1201, true, true},
    };
    for (const auto& tap : taps) {
        if (tap.activatedAt) {
            SetTick(*tap.activatedAt);
            Activate(); // from the window itself: full screen stays as it is
        }
        SetTick(tap.tappedAt);
        const bool before = window->IsInFullScreenMode();
        Tap(tap.press);
        EXPECT_EQ(window->IsInFullScreenMode(), before != tap.toggles)
            << tap.activatedAt.value_or(0) << " -> " << tap.tappedAt;
    }
}

TEST_F(MainWindowTest, FullScreenHidesTheBarsAndActivationFromElsewhereLeavesIt) {
    window->SetFullScreen(true);
    EXPECT_TRUE(WaitUntil([&] { return window->isFullScreen(); }));
    EXPECT_TRUE(ShowsBars(false));
    // Coming back from one of the program's own dialogs keeps full screen.
    {
        QDialog dialog(window);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &dialog; }));
    }
    window->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == window; }));
    EXPECT_TRUE(window->IsInFullScreenMode());

    // Coming from no window of the program (another application had the focus) leaves it. The
    // offscreen platform never takes the focus away, so its two notifications are made here.
    Q_EMIT qApp->focusWindowChanged(nullptr);
    Activate();
    EXPECT_FALSE(window->IsInFullScreenMode());
    EXPECT_TRUE(ShowsBars(true));
}

// A modal command pauses the clock while its dialog runs; Done leaves full screen first, then
// ends the window.
TEST_F(MainWindowTest, ModalCommandsPauseTheClockAndDoneLeavesFullScreenFirst) {
    bool clockRanDuringDialog = true;
    QTimer::singleShot(100, [&] {
        clockRanDuringDialog = WindowTimerRunning(state->windowTimers, TIMER_CLOCK);
        QApplication::activeModalWidget()->close();
    });
    window->RunCommand(IDM_ABOUT);
    EXPECT_FALSE(clockRanDuringDialog);
    EXPECT_TRUE(WindowTimerRunning(state->windowTimers, TIMER_CLOCK));

    window->RunCommand(IDM_FULL_SCREEN);
    EXPECT_TRUE(window->IsInFullScreenMode());
    window->RunCommand(kDoneCommand);
    EXPECT_FALSE(window->IsInFullScreenMode());
    EXPECT_TRUE(window->isVisible());

    // The Escape key is the Done button.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &escape);
    EXPECT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->result(), 0);
}

// Options that can't be saved still apply for the session, and the user is told once, after the
// dialog has closed, where and why.
TEST_F(MainWindowTest, UnsavedPreferencesAreReportedOnceAfterTheDialogCloses) {
    const QString file = StoreFilePath(StoreRoot::CurrentUser);
    ASSERT_TRUE(QDir().mkpath(file)); // the store can't be written: its path is a folder
    std::vector<bool> dialogOpenAtBox;
    SetMessageBoxResponder([&](const MessageBoxRequest& request) {
        messages.boxes.push_back(request);
        dialogOpenAtBox.push_back(QApplication::activeModalWidget() != nullptr);
        return DialogResult::Ok;
    });
    for (const int option : {IDC_DISABLE_AUTO_OFF, IDC_SHADOW}) {
        test::WhenModalOpens([option](QDialog* dialog) {
            FindControl<QCheckBox>(dialog, option)->toggle();
            dynamic_cast<ShellDialog&>(*dialog).RunCommand(kDoneCommand);
        });
        window->RunCommand(IDM_PREFERENCES);
    }
    EXPECT_EQ(state->settings.NoOff, 1);
    EXPECT_FALSE(state->face.Hands().shadowOn);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text,
              "Your settings could not be saved.\n\n" + file + ": Is a directory");
    EXPECT_EQ(messages.boxes[0].owner, window);
    EXPECT_EQ(dialogOpenAtBox, std::vector<bool>{false});
}

// Told every tick without smooth motion; with it (100 ms ticks) at every 16th (1.6 s), counting
// on from where the count is; never without "Disable auto-off".
TEST(KeepAwake, TellsTheDesktopEveryTickOrEverySixteenthWithSmoothMotion) {
    std::vector<int> toldAt;
    int tick = 0;
    SetUserActivityObserver([&] { toldAt.push_back(tick); });
    const struct {
        int8_t noOff, smooth;
        int ticks;
        std::vector<int> toldAt;
    } runs[] = {
        {0, 0, 20, {}},
        {1, 0, 5, {1, 2, 3, 4, 5}},
        {1, 1, 40, {11, 27}},
    };
    Settings settings;
    int32_t count = 0;
    for (const auto& run : runs) {
        settings.NoOff = run.noOff;
        settings.Smooth = run.smooth;
        toldAt.clear();
        for (tick = 1; tick <= run.ticks; ++tick)
            KeepAwake(settings, count);
        EXPECT_EQ(toldAt, run.toldAt) << int(run.noOff) << int(run.smooth);
    }
    SetUserActivityObserver({});
}

// The first window is portrait up to the 480 class and square above it.
TEST(MainWindowSize, TheFirstWindowHoldsTheDialOfTheScreensDefaultSkin) {
    const struct {
        int32_t width, height;
        bool square;
    } screens[] = {{480, 800, false}, {719, 1280, false}, {1080, 1920, true}, {1920, 1080, true}};
    for (const auto& screen : screens) {
        OverrideScreenSize(screen.width, screen.height);
        const LoadedWindow app;
        ASSERT_TRUE(app.initialised);
        EXPECT_EQ(app.window->width() == app.window->height(), screen.square) << screen.width;
    }
    OverrideScreenSize(0, 0);
}

// The window system's close request is handed over only while a modal dialog blocks the window.
TEST(BlockedCloseRequest, ReachesTheWindowOnlyWhileADialogBlocksIt) {
    QWidget window;
    window.show();
    int handedOver = 0;
    BlockedCloseRequestFilter filter(&window, [&] { ++handedOver; });
    const auto requestClose = [&] {
        QWindowSystemInterface::handleCloseEvent(window.windowHandle());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents(); // the hand-over is posted
    };

    QDialog dialog(&window);
    dialog.setModal(true);
    dialog.show();
    requestClose();
    EXPECT_EQ(handedOver, 1);
    EXPECT_TRUE(window.isVisible());

    dialog.hide();
    requestClose();
    EXPECT_EQ(handedOver, 1);
    EXPECT_FALSE(window.isVisible());
}

// The session's screen saver on the test's own bus: answers Inhibit with a cookie, notes releases.
class FakeScreenSaver : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const std::lock_guard lock(mutex);
        if (message.member() == u"UnInhibit")
            released.push_back(message.arguments().value(0).toUInt());
        else if (message.member() != u"Inhibit")
            return false;
        return connection.send(message.createReply(QVariant::fromValue(kCookie)));
    }
    QString introspect(const QString&) const override { return {}; }

    static constexpr uint32_t kCookie = 4242;
    std::mutex mutex;
    std::vector<uint32_t> released;
};

TEST(ScreenIdleInhibitor, HoldsTheSessionsScreenSaverAndLetsGoWithItsCookie) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is needed (Debian package dbus-daemon)";
    ASSERT_TRUE(WaitUntil([&] { return daemon.canReadLine(); }));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection service = QDBusConnection::connectToBus(address, "saver");
    QDBusConnection client = QDBusConnection::connectToBus(address, "clock");
    FakeScreenSaver saver;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/ScreenSaver", &saver));
    QWidget window;
    {
        // No screen saver on the bus yet: nothing is held, so the clock keeps reminding.
        ScreenIdleInhibitor inhibitor(client);
        inhibitor.Hold(&window, true);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
        EXPECT_FALSE(inhibitor.IsHeld());
    }
    ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
    {
        ScreenIdleInhibitor inhibitor(client);
        inhibitor.Hold(&window, true);
        ASSERT_TRUE(WaitUntil([&] { return inhibitor.IsHeld(); }));
        inhibitor.Hold(&window, false);
        EXPECT_FALSE(inhibitor.IsHeld());
        EXPECT_TRUE(WaitUntil([&] {
            const std::lock_guard lock(saver.mutex);
            return saver.released == std::vector<uint32_t>{FakeScreenSaver::kCookie};
        }));
    }
    service.unregisterObject("/org/freedesktop/ScreenSaver");
    QDBusConnection::disconnectFromBus("saver");
    QDBusConnection::disconnectFromBus("clock");
    daemon.kill();
    daemon.waitForFinished();
}

} // namespace
} // namespace mv
