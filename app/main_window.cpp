#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/change_skin.h"
#include "app/clock_tick.h"
#include "app/preferences_dialog.h"
#include "app/prune_default_skins.h"
#include "clock/clock_face_widget.h"
#include "gps/sync_messages.h"
#include "platform/clock_change.h"
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
#include <QMetaObject>
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

MainWindow::MainWindow(AppState& state, Settings& settings, UnsavedSettingsReport& unsavedReport)
    : state_(state), settings_(settings), unsavedReport_(unsavedReport),
      face_(new ClockFaceWidget(state.face, this)), // the face is owned by the window
      // Over the face's top-left corner and outside the layout; made after the face, so above it.
      syncLabel_(new QLabel(QStringLiteral("Synchronizing time..."), this)), gps_(this, [this] {
          sync_.NoteReport();
          DrawClockFrame();
      }) {
    setWindowTitle(QString::fromUtf16(kProgramTitle));
    auto* layout = new QVBoxLayout(this); // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(face_, 1); // the face takes all the room the soft-key bar leaves
    state_.face.Paint().widget = face_;
    state_.onGpsIndicatorChanged = [this] { OnGpsTimeValidChanged(); };

    syncLabel_->setAutoFillBackground(true);
    syncLabel_->adjustSize();
    syncLabel_->move(0, 0);
    syncLabel_->hide();

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
    gps_.Disconnect();
    state_.face.ReleaseBackBuffer();
    state_.face.ReleaseSkin();
    paint.widget = nullptr;
    paint.source = nullptr;
    state_.onGpsIndicatorChanged = nullptr;
    if (state_.mainWindow == this)
        state_.mainWindow = nullptr;
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        HandleActivation(true);
    else if (event->type() == QEvent::WindowDeactivate)
        HandleActivation(false);
    return QDialog::event(event);
}

void MainWindow::RunCommand(int command) {
    switch (command) {
    case kDoneCommand:
        if (fullScreen_)
            SetFullScreen(false);
        else
            done(0);
        break;
    case IDM_HELP:
        ShowHelp(u"dialog_main");
        break;
    case IDM_ABOUT:
        RunModal([this] { RunAboutDialog(this, boldFont_); });
        break;
    case IDM_PREFERENCES:
        RunModal([this] {
            RunPreferencesDialog(settings_, this,
                                 [this](const PreferenceChanges& changes, QWidget* dialog) {
                                     PutPreferencesIntoEffect(state_, changes, dialog);
                                 });
            // Once the dialog is gone, whatever saved the options.
            unsavedReport_.ReportUnsavedSettings(this);
        });
        break;
    case IDM_LOAD_SKIN:
        RunModal([this] {
            ChangeSkin(state_, this, false);
            unsavedReport_.ReportUnsavedSettings(this);
        });
        break;
    case IDM_GPS_SETTINGS:
        OpenGpsSettingsPage(this);
        break;
    case IDM_FULL_SCREEN:
        SetFullScreen(true);
        break;
    case IDM_SYNCHRONIZE:
        StartSync();
        break;
    case IDM_CONNECT:
    case IDM_DISCONNECT:
        SetGpsConnected(command == IDM_CONNECT);
        break;
    }
}

void MainWindow::DrawClockFrame() {
    const GpsTimeNow now = gps_.TimeNow();
    if (now.usable && sync_.Running()) // no device clock reading on ticks without a sync
        FeedSync(now.utc);
    state_.gpsTimeValid = now.usable;
    if (state_.face.DrawPartialFrame(now.local, now.usable)) {
        OnGpsTimeValidChanged();
    }
}

void MainWindow::RequestFrame() {
    QMetaObject::invokeMethod(
        this, [this] { DrawClockFrame(); }, Qt::QueuedConnection);
}

void MainWindow::OnGpsTimeValidChanged() {
    UpdateSyncMenuItem();
    if (state_.gpsTimeValid)
        return;
    if (const std::optional<SyncFailure> failure = sync_.GpsTimeLost(gps_.Connected()))
        ReportSyncFailure(*failure);
    ShowSyncProgress();
}

void MainWindow::SetGpsConnected(bool wanted) {
    if (wanted == gps_.Connected())
        return;
    if (wanted) {
        if (!gps_.Connect()) {
            ShowMessageBox(this, GpsDeviceNotFoundText(), MessageIcon::Error);
            return;
        }
    } else {
        gps_.Disconnect();
        RequestFrame();
    }
    if (connectBar_ != nullptr)
        connectBar_->setVisible(!gps_.Connected());
    if (disconnectBar_ != nullptr)
        disconnectBar_->setVisible(gps_.Connected());
    UpdateSyncMenuItem();
}

void MainWindow::UpdateSyncMenuItem() {
    QWidget* bar = gps_.Connected() ? disconnectBar_ : connectBar_;
    if (bar != nullptr)
        EnableMenuCommand(SoftKeyMenu(bar, IDM_MENU), IDM_SYNCHRONIZE,
                          sync_.CommandAvailable(state_.gpsTimeValid));
}

void MainWindow::StartSync() {
    if (!sync_.Start())
        return;
    ShowSyncProgress();
    StartWindowTimer(state_.windowTimers, this, TIMER_SYNC, int(SyncProcedure::kTimeout.count()));
}

void MainWindow::FeedSync(UtcTime gpsUtc) {
    const std::optional<UtcTime> deviceUtc = ReadUtcTime();
    if (!deviceUtc)
        return;
    const SyncStep step = sync_.Feed(gpsUtc, *deviceUtc);
    ShowSyncProgress();
    if (const auto* failed = std::get_if<SyncFailed>(&step))
        ReportSyncFailure(failed->failure);
    else if (const auto* shift = std::get_if<ShiftClock>(&step))
        ShiftClockBy(shift->shift);
}

void MainWindow::OnSyncTimeout() {
    if (const std::optional<SyncFailure> failure = sync_.Timeout())
        ReportSyncFailure(*failure);
    ShowSyncProgress();
}

// The only change of the device clock, made outside any lock. Until it answers "Synchronize" is
// greyed; the answer is dropped if the window goes first.
void MainWindow::ShiftClockBy(ClockTicks shift) {
    UpdateSyncMenuItem();
    ShiftDeviceClock(shift.count(), this, [this, shift](ClockChangeResult result) {
        sync_.ClockChangeAnswered();
        UpdateSyncMenuItem();
        if (result != ClockChangeResult::Changed) {
            ReportSyncFailure(SyncFailure::ClockNotChanged);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, shift] { ShowSyncDone(this, WholeSeconds(shift)); }, Qt::QueuedConnection);
    });
}

// Shown once the frame or the event that ended the synchronisation is over.
void MainWindow::ReportSyncFailure(SyncFailure failure) {
    QMetaObject::invokeMethod(
        this, [this, failure] { ShowSyncFailed(this, failure); }, Qt::QueuedConnection);
}

void MainWindow::ShowSyncProgress() {
    syncLabel_->setVisible(sync_.Running());
    if (!sync_.Running())
        StopWindowTimer(state_.windowTimers, TIMER_SYNC);
}

// No frames are drawn while the dialog is open; the clock redraws at once after it.
void MainWindow::RunModal(const std::function<void()>& dialog) {
    StopWindowTimer(state_.windowTimers, TIMER_CLOCK);
    dialog();
    ResumeClock(state_);
    RequestFrame();
}

void MainWindow::HandleActivation(bool active) {
    if (active && fullScreen_ && !programWindowWasFocused_)
        SetFullScreen(false);
    activationTick_ = ReadTickCount();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    switch (LogicalTimerId(state_.windowTimers, event->timerId())) {
    case TIMER_STARTUP:
        StopWindowTimer(state_.windowTimers, TIMER_STARTUP);
        PruneDefaultSkins();
        break;
    case TIMER_CLOCK:
        // Where the compositor or the session keeps the screen on, it needs no reminders.
        screenInhibitor_.Hold(this, settings_.NoOff != 0);
        if (!screenInhibitor_.IsHeld())
            KeepAwake(settings_, keepAwakeCount_);
        DrawClockFrame();
        break;
    case TIMER_SYNC:
        OnSyncTimeout();
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
        QueueCommand(
            this, [this](int command) { RunCommand(command); }, kDoneCommand);
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
        penDown_ = true;
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (penDown_ && TicksSince(activationTick_, ReadTickCount()) > kTapGuardMs)
            SetFullScreen(!fullScreen_);
        activationTick_ = 0;
        penDown_ = false;
    }
    QDialog::mouseReleaseEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    EndByCloseRequest();
    event->accept();
}

void MainWindow::EndByCloseRequest() {
    CloseSiblingWindows(this);
    done(int(DialogResult::Closed));
}

bool MainWindow::InitMainWindow() {
    resize(InitialWindowSize());
    const CommandHandler run = [this](int command) { RunCommand(command); };
    connectBar_ = CreateSoftKeyBar(this, IDR_CONNECT_BAR, run);
    if (connectBar_ == nullptr)
        return false;
    disconnectBar_ = CreateSoftKeyBar(this, IDR_DISCONNECT_BAR, run);
    if (disconnectBar_ == nullptr)
        return false;
    disconnectBar_->hide(); // the GPS reader starts disconnected
    UpdateSyncMenuItem();
    boldFont_ = MakeBoldFont();

    face_->UseDirectPresentation();
    state_.mainWindow = this;
    // Size changes from here on build the back buffer.
    face_->onSizeChanged = [this](int32_t width, int32_t height) {
        ResizeClockFace(state_, width, height);
    };
    StartWindowTimer(state_.windowTimers, this, TIMER_STARTUP, kStartupDelayMs);
    RestartClockTimer(state_);
    state_.face.ComputeDisplayTime(gps_.TimeNow().local);
    // To the front once the window is on screen.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
    return true;
}

int RunMainWindow(AppState& state, Settings& settings, UnsavedSettingsReport& unsavedReport) {
    MainWindow window(state, settings, unsavedReport);
    if (!window.InitMainWindow())
        return -1;
    return window.exec();
}

// Full screen is asked of the window manager and also done by hand, so that a kiosk without a
// window manager gets it too: the window covers the whole screen, and goes back to the area it
// had before.
void MainWindow::SetFullScreen(bool on) {
    if (on == fullScreen_)
        return;
    // A compositor sizes a full-screen window itself, and gives the normal size back after it.
    const bool byHand = !WindowSystemPlacesWindows();
    if (on) {
        normalArea_ = geometry();
        showFullScreen();
        if (byHand && screen() != nullptr)
            setGeometry(screen()->geometry());
        for (QWidget* bar : {connectBar_, disconnectBar_}) {
            if (bar != nullptr)
                bar->hide();
        }
    } else {
        if (QWidget* bar = gps_.Connected() ? disconnectBar_ : connectBar_)
            bar->show();
        showNormal();
        if (byHand && normalArea_.isValid())
            setGeometry(normalArea_);
    }
    fullScreen_ = on;
}

void PutPreferencesIntoEffect(AppState& state, const PreferenceChanges& changes, QWidget* dialog) {
    if (changes.shapesOrShadow) {
        ChangeSkin(state, dialog, true); // saves the settings, then reloads the skin for them
        RebuildClockFace(state);
    }
    if (changes.motion) {
        RestartClockTimer(state);
        state.face.SetSmoothMotion(state.settings.Smooth != 0);
    }
}

void KeepAwake(const Settings& settings, int32_t& count) {
    if (settings.NoOff == 0)
        return;
    count = (count + 1) % kKeepAwakeCycle;
    if (settings.Smooth == 0 || count == 0)
        SimulateUserActivity();
}

void CloseSiblingWindows(const QWidget* mainWindow) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == mainWindow || !window->isVisible())
            continue;
        // Posted: the close runs from the event loop, after the caller has finished.
        QMetaObject::invokeMethod(
            window, [window] { window->close(); }, Qt::QueuedConnection);
    }
}

} // namespace mv
