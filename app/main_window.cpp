#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/change_skin.h"
#include "app/clock_tick.h"
#include "app/preferences_dialog.h"
#include "app/prune_default_skins.h"
#include "app/settings.h"
#include "app/unsaved_settings.h"
#include "clock/clock_face_widget.h"
#include "gps/gps_connect.h"
#include "gps/gps_time.h"
#include "gps/sync.h"
#include "platform/device_clock.h"
#include "platform/gps_settings_page.h"
#include "platform/keep_awake.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/soft_key_bar.h"
#include "platform/window_commands.h"
#include "platform/window_timers.h"
#include "resources/resource_ids.h"
#include "ui/shell_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace mv {

namespace {

constexpr int kStartupDelayMs = 200;
constexpr uint32_t kTapGuardMs = 200; // a tap this soon after activation brought the window up
constexpr int kKeepAwakeCycle = 16;
constexpr int32_t kBoldFontHeight = 12; // pixels at 96 dots per inch
constexpr int kBoldWeight = 700;

// A portrait window of up to 480 x 640 device pixels that fits the available screen area. A
// screen of a larger size class has a default skin whose dial would not fit that: there the
// window is a square as large as the class, which holds the dial with a margin around it.
QSize InitialWindowSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen != nullptr ? screen->availableSize() : QSize(480, 640);
    const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    const ScreenSize whole = ReadScreenSize();
    const auto sizeClass = int(SizeClass(whole.width, whole.height));
    const QSize wanted = sizeClass > 480 ? QSize(sizeClass, sizeClass) : QSize(480, 640);
    return wanted.scaled(available * ratio, Qt::KeepAspectRatio).boundedTo(wanted) / ratio;
}

QFont MakeBoldFont() {
    QFont font;
    font.setPixelSize(std::max(1, ScaleForDpi(kBoldFontHeight, DpiAxis::Vertical)));
    font.setWeight(QFont::Weight(kBoldWeight));
    return font;
}

} // namespace

MainWindow::MainWindow(AppState& state)
    : state_(state),
      face_(new ClockFaceWidget(state.face, this)) { // the face is owned by the window
    setWindowTitle(QString::fromUtf16(kProgramTitle));
    auto* layout = new QVBoxLayout(this); // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(face_, 1); // the face takes all the room the soft-key bar leaves
    state_.face.Paint().widget = face_;

    // Over the face's top-left corner and outside the layout; made after the face, so above it.
    auto* syncLabel =
        new QLabel(QStringLiteral("Synchronizing time..."), this); // owned by the window
    syncLabel->setAutoFillBackground(true);
    syncLabel->adjustSize();
    syncLabel->move(0, 0);
    syncLabel->hide();
    state_.syncLabel = syncLabel;
    state_.syncCommandChanged = [this] { UpdateSyncMenuItem(state_); };

    closeFilter_ =
        std::make_unique<BlockedCloseRequestFilter>(this, [this] { EndByCloseRequest(); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* focused) { programWindowWasFocused_ = focused != nullptr; });
}

MainWindow::~MainWindow() {
    face_->onSizeChanged = nullptr; // the back buffer goes below
    // The other timers go with the window too.
    StopAllWindowTimers(state_.windowTimers);
    // The presenter draws into the window's surfaces, which go with the window.
    WindowPaint& paint = state_.face.Paint();
    paint.presenter.reset();
    if (state_.gpsConnected)
        SetGpsConnected(state_, this, false);
    state_.face.ReleaseBackBuffer();
    state_.face.ReleaseSkin();
    paint.widget = nullptr;
    paint.source = nullptr;
    state_.connectBar = nullptr;
    state_.disconnectBar = nullptr;
    state_.syncLabel = nullptr;
    state_.syncCommandChanged = nullptr;
    if (state_.mainWindow == this)
        state_.mainWindow = nullptr;
}

bool MainWindow::event(QEvent* event) {
    if (const CommandEvent* command = AsCommand(event))
        return HandleCommand(command->command(), command->notification());
    if (const WindowMessage* message = AsWindowMessage(event))
        return HandleMessage(message->message(), message->wParam());
    if (event->type() == QEvent::WindowActivate)
        HandleActivation(true);
    else if (event->type() == QEvent::WindowDeactivate)
        HandleActivation(false);
    return QDialog::event(event);
}

bool MainWindow::HandleCommand(int command, int notification) {
    switch (command) {
    case IDOK:
        if (state_.fullScreen)
            SetFullScreen(state_, false);
        else
            done(0);
        return true;
    case IDM_HELP:
        ShowHelp(u"dialog_main");
        return true;
    case IDM_ABOUT:
        RunModal([this] { RunAboutDialog(state_, this); });
        return true;
    case IDM_PREFERENCES:
        RunModal([this] { RunPreferencesDialog(state_, this); });
        return true;
    case IDM_LOAD_SKIN:
        RunModal([this] {
            ChangeSkin(state_, this, false);
            ReportUnsavedSettings(state_, this);
        });
        return true;
    case IDM_GPS_SETTINGS:
        OpenGpsSettingsPage(this);
        return true;
    case IDM_FULL_SCREEN:
        SetFullScreen(state_, true);
        return true;
    case IDM_SYNCHRONIZE:
        StartSync(state_);
        return true;
    case IDM_CONNECT:
    case IDM_DISCONNECT:
        if (notification == 0)
            SetGpsConnected(state_, this, command == IDM_CONNECT);
        return true;
    default:
        return false;
    }
}

bool MainWindow::HandleMessage(MessageId message, uintptr_t wParam) {
    switch (message) {
    case MSG_GPS_DATA:
        CountGpsNotification(state_);
        DrawClockFrame(state_);
        return true;
    case MSG_REFRESH:
        DrawClockFrame(state_);
        return true;
    case MSG_SYNC_FAILED:
        ShowSyncFailed(this, wParam);
        return true;
    case MSG_SYNC_DONE:
        ShowSyncDone(this, wParam);
        return true;
    }
    return false;
}

// No frames are drawn while the dialog is open; the clock redraws at once after it.
void MainWindow::RunModal(const std::function<void()>& dialog) {
    StopWindowTimer(state_.windowTimers, TIMER_CLOCK);
    dialog();
    ResumeClock(state_);
}

void MainWindow::HandleActivation(bool active) {
    if (active && state_.fullScreen && !programWindowWasFocused_)
        SetFullScreen(state_, false);
    state_.activationTick = ReadTickCount();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    switch (LogicalTimerId(state_.windowTimers, event->timerId())) {
    case TIMER_STARTUP:
        StopWindowTimer(state_.windowTimers, TIMER_STARTUP);
        PruneDefaultSkins();
        break;
    case TIMER_CLOCK:
        // Where the compositor or the session keeps the screen on, it needs no reminders.
        screenInhibitor_.Hold(this, state_.settings.NoOff != 0);
        if (!screenInhibitor_.IsHeld())
            KeepAwake(state_);
        DrawClockFrame(state_);
        break;
    case TIMER_SYNC:
        OnSyncTimeout(state_);
        break;
    default:
        QDialog::timerEvent(event);
        break;
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Back:
        PostCommand(this, IDOK);
        return;
    case Qt::Key_F1:
    case Qt::Key_Help:
        ShowHelp(u"dialog_main");
        return;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        state_.penDown = true;
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (state_.penDown && TicksSince(state_.activationTick, ReadTickCount()) > kTapGuardMs)
            SetFullScreen(state_, !state_.fullScreen);
        state_.activationTick = 0;
        state_.penDown = false;
    }
    QDialog::mouseReleaseEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    EndByCloseRequest();
    event->accept();
}

void MainWindow::EndByCloseRequest() {
    CloseSiblingWindows(state_);
    done(IDCLOSED);
}

bool InitMainWindow(AppState& state, MainWindow& window) {
    window.resize(InitialWindowSize());
    state.connectBar = CreateSoftKeyBar(&window, IDR_CONNECT_BAR);
    if (state.connectBar == nullptr)
        return false;
    state.disconnectBar = CreateSoftKeyBar(&window, IDR_DISCONNECT_BAR);
    if (state.disconnectBar == nullptr)
        return false;
    state.disconnectBar->hide(); // the GPS reader starts disconnected
    UpdateSyncMenuItem(state);
    state.boldFont = MakeBoldFont();

    window.Face()->UseDirectPresentation();
    state.mainWindow = &window;
    // Size changes from here on build the back buffer.
    window.Face()->onSizeChanged = [&state](int32_t width, int32_t height) {
        ResizeClockFace(state, width, height);
    };
    StartWindowTimer(state.windowTimers, &window, TIMER_STARTUP, kStartupDelayMs);
    RestartClockTimer(state);
    CalendarTime shown;
    PollGpsTime(state, shown);
    state.face.ComputeDisplayTime(shown);
    // To the front once the window is on screen.
    QTimer::singleShot(0, &window, [&window] {
        window.raise();
        window.activateWindow();
    });
    return true;
}

int RunMainWindow(AppState& state) {
    MainWindow window(state);
    if (!InitMainWindow(state, window))
        return -1;
    return window.exec();
}

// Full screen is asked of the window manager and also done by hand, so that a kiosk without a
// window manager gets it too: the window covers the whole screen, and goes back to the area it
// had before.
void SetFullScreen(AppState& state, bool on) {
    if (on == state.fullScreen)
        return;
    auto* window = qobject_cast<QWidget*>(state.mainWindow);
    // A compositor sizes a full-screen window itself, and gives the normal size back after it.
    const bool byHand = !WindowSystemPlacesWindows();
    if (on) {
        if (window != nullptr) {
            state.normalArea = window->geometry();
            window->showFullScreen();
            const QScreen* screen = window->screen();
            if (byHand && screen != nullptr)
                window->setGeometry(screen->geometry());
        }
        for (QWidget* bar : {state.connectBar, state.disconnectBar}) {
            if (bar != nullptr)
                bar->hide();
        }
    } else {
        if (QWidget* bar = state.gpsConnected ? state.disconnectBar : state.connectBar)
            bar->show();
        if (window != nullptr) {
            window->showNormal();
            if (byHand && state.normalArea.isValid())
                window->setGeometry(state.normalArea);
        }
    }
    state.fullScreen = on;
}

void KeepAwake(AppState& state) {
    if (state.settings.NoOff == 0)
        return;
    state.keepAwakeCount = (state.keepAwakeCount + 1) % kKeepAwakeCycle;
    if (state.settings.Smooth == 0 || state.keepAwakeCount == 0)
        SimulateUserActivity();
}

void CloseSiblingWindows(const AppState& state) {
    const auto* mainWindow = qobject_cast<const QWidget*>(state.mainWindow);
    if (mainWindow == nullptr)
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == mainWindow || !window->isVisible())
            continue;
        // Posted: the close runs from the event loop, after the caller has finished.
        QMetaObject::invokeMethod(
            window, [window] { window->close(); }, Qt::QueuedConnection);
    }
}

void UpdateSyncMenuItem(AppState& state) {
    QWidget* bar = state.gpsConnected ? state.disconnectBar : state.connectBar;
    EnableMenuCommand(SoftKeyMenu(bar, IDM_MENU), IDM_SYNCHRONIZE, SyncCommandAvailable(state));
}

} // namespace mv
