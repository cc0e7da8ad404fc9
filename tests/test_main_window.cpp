// The main window: its set-up and end, taps and activations switching full-screen mode, the Done
// command, the modal commands pausing the clock, a close request with a dialog open, and the
// keep-awake cadence.
#include "app/clock_tick.h"
#include "app/main_window.h"
#include "clock/clock_face_widget.h"
#include "platform/close_request_filter.h"
#include "platform/device_clock.h"
#include "platform/keep_awake.h"
#include "platform/message_box.h"
#include "platform/open_url.h"
#include "platform/screen.h"
#include "platform/screen_idle_inhibitor.h"
#include "platform/window_commands.h"
#include "resources/resource_ids.h"
#include "skin/skin_loader.h"
#include "test_env.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <qpa/qwindowsysteminterface.h>

namespace mv {
namespace {

constexpr int64_t kSomeUtcCount = 133'000'000'000'000'000; // a day in 2022

template <typename Condition>
bool WaitFor(Condition done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void SetTick(uint32_t tick) {
    UseManualClock(kSomeUtcCount, tick);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideScreenDpi(96, 96);
        SetTick(1'000'000);
        SetMessageBoxResponder([](const MessageBoxRequest&) { return IDOK; });
        SetExternalUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        ASSERT_TRUE(state->face.LoadSkin(QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs"),
                                         FaceOptionsOf(state->settings)));
        window = std::make_unique<MainWindow>(*state);
        ASSERT_TRUE(InitMainWindow(*state, *window));
        window->show();
        ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == window.get(); }));
    }
    void TearDown() override {
        window.reset();
        SetExternalUrlOpener({});
        SetMessageBoxResponder({});
        UseSystemClock();
    }

    void Tap(bool press = true) {
        QWidget* face = window->Face();
        const QPointF at(face->width() / 2, face->height() / 2);
        if (press) {
            QMouseEvent down(QEvent::MouseButtonPress, at, face->mapToGlobal(at), Qt::LeftButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(face, &down);
        }
        QMouseEvent up(QEvent::MouseButtonRelease, at, face->mapToGlobal(at), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(face, &up);
    }

    // Normal mode shows exactly the bar of the connection state; full screen shows none.
    void ExpectBars(bool connectVisible, bool disconnectVisible) {
        EXPECT_EQ(state->connectBar->isVisible(), connectVisible);
        EXPECT_EQ(state->disconnectBar->isVisible(), disconnectVisible);
    }

    test::IsolatedHome home;
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    std::unique_ptr<MainWindow> window;
    std::vector<QUrl> opened;
};

TEST_F(MainWindowTest, SetUpRunsTheClockAndTheEndReleasesIt) {
    EXPECT_EQ(state->mainWindow, window.get());
    EXPECT_EQ(window->windowTitle(), "TEV:: Marovellastrine");
    ExpectBars(true, false);
    EXPECT_FALSE(state->syncLabel->isVisible());
    EXPECT_EQ(state->syncLabel->pos(), QPoint(0, 0));
    ASSERT_TRUE(state->boldFont);
    EXPECT_EQ(state->boldFont->pixelSize(), 12);
    EXPECT_EQ(state->boldFont->weight(), QFont::Bold);
    EXPECT_TRUE(WindowTimerRunning(state->windowTimers, TIMER_STARTUP));
    EXPECT_TRUE(WindowTimerRunning(state->windowTimers, TIMER_CLOCK));
    // The first size after set-up made the back buffer at the face's size.
    EXPECT_TRUE(WaitFor([&] { return state->face.BackBuffer().context; }));
    EXPECT_EQ(state->face.BackBuffer().width, window->Face()->width());

    window.reset();
    EXPECT_EQ(state->mainWindow, nullptr);
    EXPECT_FALSE(WindowTimerRunning(state->windowTimers, TIMER_CLOCK));
    EXPECT_FALSE(state->face.BackBuffer().context);
    EXPECT_TRUE(state->face.GetSkin().faceImage.bitmap.isNull());
}

TEST_F(MainWindowTest, TapsToggleFullScreenExceptJustAfterActivation) {
    // Within 200 ms of the activation: no toggle, but the guard is spent.
    state->activationTick = 5000;
    SetTick(5200);
    Tap();
    EXPECT_FALSE(state->fullScreen);
    EXPECT_EQ(state->activationTick, 0u);
    EXPECT_FALSE(state->penDown);

    Tap();
    EXPECT_TRUE(state->fullScreen);
    EXPECT_TRUE(WaitFor([&] { return window->isFullScreen(); }));
    ExpectBars(false, false);

    // Back to normal with the bar of the connection state.
    state->gpsConnected = true;
    Tap();
    EXPECT_FALSE(state->fullScreen);
    ExpectBars(false, true);
    state->gpsConnected = false;

    // A release without a press in this window doesn't toggle.
    state->activationTick = 77;
    Tap(false);
    EXPECT_FALSE(state->fullScreen);
    EXPECT_EQ(state->activationTick, 0u);

    // Across the wrap one millisecond less counts: 201 ticks later is still within the guard.
    state->activationTick = 0xFFFF'FFF0u;
    SetTick(185);
    Tap();
    EXPECT_FALSE(state->fullScreen);

    state->activationTick = 0xFFFF'FFF0u;
    SetTick(186);
    Tap();
    EXPECT_TRUE(state->fullScreen);

    // Without a wrap, 201 ticks is past the guard.
    state->activationTick = 1000;
    SetTick(1200);
    Tap();
    EXPECT_TRUE(state->fullScreen);
    state->activationTick = 1000;
    SetTick(1201);
    Tap();
    EXPECT_FALSE(state->fullScreen);
}

TEST_F(MainWindowTest, ActivationFromElsewhereLeavesFullScreen) {
    SetFullScreen(*state, true);
    SetTick(42'000);

    // Coming back from one of the program's own dialogs keeps full screen.
    {
        QDialog dialog(window.get());
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &dialog; }));
    }
    window->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == window.get(); }));
    EXPECT_TRUE(state->fullScreen);
    EXPECT_EQ(state->activationTick, 42'000u);

    // Coming from no window of the program (another application had the focus) leaves it. The
    // offscreen platform never takes the focus away, so its two notifications are made here.
    Q_EMIT qApp->focusWindowChanged(nullptr);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_FALSE(state->fullScreen);
    ExpectBars(true, false);
}

TEST_F(MainWindowTest, DoneLeavesFullScreenFirstThenEndsTheWindow) {
    SetFullScreen(*state, true);
    EXPECT_TRUE(SendCommand(window.get(), IDOK));
    EXPECT_FALSE(state->fullScreen);
    EXPECT_TRUE(window->isVisible());

    // The Escape key is the Done button.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->result(), 0);

    // Help goes to the main window's topic; unknown commands aren't handled.
    EXPECT_TRUE(SendCommand(window.get(), IDM_HELP));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].fragment(), "dialog_main");
    EXPECT_FALSE(SendCommand(window.get(), 12345));
}

TEST_F(MainWindowTest, ModalCommandPausesTheClockUntilTheDialogCloses) {
    bool clockRanDuringDialog = true;
    QTimer::singleShot(100, [&] {
        clockRanDuringDialog = WindowTimerRunning(state->windowTimers, TIMER_CLOCK);
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    EXPECT_TRUE(SendCommand(window.get(), IDM_ABOUT));
    EXPECT_FALSE(clockRanDuringDialog);
    EXPECT_TRUE(WindowTimerRunning(state->windowTimers, TIMER_CLOCK));
    EXPECT_FALSE(state->fullScreen);
}

TEST_F(MainWindowTest, CloseRequestClosesTheOpenDialogThenTheWindow) {
    QWidget* dialogSeen = nullptr;
    QTimer::singleShot(100, [&] {
        dialogSeen = QApplication::activeModalWidget();
        window->close();
    });
    // Should the dialog stay open, end it so that the test ends.
    QTimer::singleShot(3000, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    QDeadlineTimer took(3000);
    SendCommand(window.get(), IDM_PREFERENCES);
    EXPECT_FALSE(took.hasExpired()) << "the dialog stayed open";
    ASSERT_NE(dialogSeen, nullptr);
    EXPECT_NE(dialogSeen, window.get());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(KeepAwake, TellsTheDesktopEveryTickOrEverySixteenthWithSmoothMotion) {
    int told = 0;
    SetUserActivityObserver([&] { ++told; });
    AppState state;
    state.settings.NoOff = 0;
    for (int tick = 0; tick < 20; ++tick)
        KeepAwake(state);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(state.keepAwakeCount, 0);

    state.settings.NoOff = 1;
    state.settings.Smooth = 0;
    for (int tick = 0; tick < 5; ++tick)
        KeepAwake(state);
    EXPECT_EQ(told, 5);

    // Smooth: 100 ms ticks, told at every 16th (1.6 s), counting on from where the count is.
    told = 0;
    state.settings.Smooth = 1;
    std::vector<int> toldAt;
    for (int tick = 1; tick <= 40; ++tick) {
        KeepAwake(state);
        if (told > int(toldAt.size()))
            toldAt.push_back(tick);
    }
    EXPECT_EQ(toldAt, (std::vector<int>{11, 27}));
    SetUserActivityObserver({});
}

// The first window holds the default skin's dial of the screen's size class: a portrait window
// up to the 480 class, a square one above it (each within the offscreen screen's area).
TEST(MainWindowSize, TheFirstWindowHoldsTheDialOfTheScreensDefaultSkin) {
    const struct {
        int32_t width, height;
        bool square;
    } screens[] = {{480, 800, false}, {719, 1280, false}, {1080, 1920, true}, {1920, 1080, true}};
    for (const auto& screen : screens) {
        OverrideScreenSize(screen.width, screen.height);
        const auto state = std::make_unique<AppState>();
        ASSERT_TRUE(state->face.LoadSkin(QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_240.scs"),
                                         FaceOptionsOf(state->settings)));
        MainWindow window(*state);
        ASSERT_TRUE(InitMainWindow(*state, window));
        EXPECT_EQ(window.width() == window.height(), screen.square)
            << screen.width << " x " << screen.height << ": " << window.width() << " x "
            << window.height();
    }
    OverrideScreenSize(0, 0);
}

// The window system's close request (the title bar's close button, a compositor's close) comes
// through to a window that one of the program's modal dialogs blocks, and only then: unblocked,
// Qt closes the window itself.
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

// The session's screen saver on a bus of the test's own: it answers Inhibit with a cookie and
// notes what it is asked.
class FakeScreenSaver : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const std::lock_guard lock(mutex);
        if (message.member() == u"Inhibit") {
            inhibitArguments = message.arguments();
            connection.send(message.createReply(QVariant::fromValue(kCookie)));
            return true;
        }
        if (message.member() == u"UnInhibit") {
            released.push_back(message.arguments().value(0).toUInt());
            connection.send(message.createReply());
            return true;
        }
        return false;
    }
    QString introspect(const QString&) const override { return {}; }

    static constexpr uint32_t kCookie = 4242;
    std::mutex mutex;
    QVariantList inhibitArguments;
    std::vector<uint32_t> released;
};

bool WaitUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(ScreenIdleInhibitor, HoldsTheSessionsScreenSaverAndLetsGoWithItsCookie) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is needed (Debian package dbus-daemon)";
    ASSERT_TRUE(WaitUntil([&] { return daemon.canReadLine(); }));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("saver"));
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("clock"));
    FakeScreenSaver saver;
    ASSERT_TRUE(
        service.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver));
    QWidget window;
    {
        // No screen saver on the bus yet: nothing is held, so the clock keeps reminding.
        ScreenIdleInhibitor inhibitor(client);
        inhibitor.Hold(&window, true);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
        EXPECT_FALSE(inhibitor.IsHeld());
    }
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    {
        ScreenIdleInhibitor inhibitor(client);
        inhibitor.Hold(&window, true);
        ASSERT_TRUE(WaitUntil([&] { return inhibitor.IsHeld(); }));
        {
            const std::lock_guard lock(saver.mutex);
            EXPECT_EQ(saver.inhibitArguments, (QVariantList{QStringLiteral("Marovellastrine"),
                                                            QStringLiteral("Disable auto-off")}));
        }
        inhibitor.Hold(&window, false);
        EXPECT_FALSE(inhibitor.IsHeld());
        EXPECT_TRUE(WaitUntil([&] {
            const std::lock_guard lock(saver.mutex);
            return saver.released == std::vector<uint32_t>{FakeScreenSaver::kCookie};
        }));
    }
    service.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    QDBusConnection::disconnectFromBus(QStringLiteral("saver"));
    QDBusConnection::disconnectFromBus(QStringLiteral("clock"));
    daemon.kill();
    daemon.waitForFinished();
}

} // namespace
} // namespace mv
