#include "app/clock_window.h"

#include "clock/display_time.h"
#include "clock/frame.h"
#include "platform/window_messages.h"
#include "skin/skin_loader.h"

#include <QTimerEvent>
#include <QVBoxLayout>

namespace mv {

ClockWindow::ClockWindow(AppState& state) : state_(state), face_(new ClockFaceWidget(state, this)) {
    setWindowTitle(QStringLiteral("TEV:: Marovellastrine"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(face_);
    state_.windowPaint.widget = face_;
}

ClockWindow::~ClockWindow() {
    if (state_.mainWindow == this)
        ReleaseClock(state_);
}

void ClockWindow::InitClock() {
    face_->UseDirectPresentation();
    state_.mainWindow = this;
    RestartClockTimer(state_);
    ComputeDisplayTime(state_);
    face_->FaceSizeChanged();
}

bool ClockWindow::event(QEvent* event) {
    if (const WindowMessage* message = AsWindowMessage(event)) {
        switch (message->message()) {
        case MSG_GPS_DATA:
        case MSG_REFRESH:
            DrawPartialFrame(state_);
            return true;
        default:
            return false;
        }
    }
    return QWidget::event(event);
}

void ClockWindow::timerEvent(QTimerEvent* event) {
    switch (LogicalTimerId(state_.windowTimers, event->timerId())) {
    case TIMER_CLOCK:
        DrawPartialFrame(state_);
        break;
    default:
        QWidget::timerEvent(event);
        break;
    }
}

void ReleaseClock(AppState& state) {
    StopAllWindowTimers(state.windowTimers);
    if (state.backBuffer.context)
        ReleaseDrawSurface(state.backBuffer);
    ReleaseSkin(state.skin, state.handRenderer);
    state.windowPaint.widget = nullptr;
    state.windowPaint.source = nullptr;
    state.mainWindow = nullptr;
}

} // namespace mv
