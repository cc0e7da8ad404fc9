#include "gps_app_host.h"

#include "app/main_window.h"
#include "gps/gps_time.h"
#include "gps/gps_time_valid.h"
#include "gps/sync.h"
#include "platform/soft_key_bar.h"
#include "resources/resource_ids.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QTimerEvent>
#include <dirent.h>

namespace mv::test {

namespace {

SoftKeyBarDescription Bar(int command, const char* label) {
    return {{command, label, {}}, {IDM_MENU, "Menu", {{IDM_SYNCHRONIZE, "Synchronize"}}}};
}

} // namespace

GpsAppHost::GpsAppHost(AppState& state) : state_(state) {
    state_.mainWindow = this;
    state_.connectBar = CreateSoftKeyBarWidget(&window, Bar(IDM_CONNECT, "Connect"));
    state_.disconnectBar = CreateSoftKeyBarWidget(&window, Bar(IDM_DISCONNECT, "Disconnect"));
    state_.disconnectBar->hide();
    syncLabel = new QLabel(QStringLiteral("Synchronizing time..."), &window); // owned by window
    syncLabel->hide();
    state_.syncLabel = syncLabel;
    state_.syncCommandChanged = [this] { UpdateSyncMenuItem(state_); };
    SetMessageBoxResponder([this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return int(IDOK);
    });
}

GpsAppHost::~GpsAppHost() {
    SetMessageBoxResponder({});
    state_.connectBar = state_.disconnectBar = state_.syncLabel = nullptr;
    state_.syncCommandChanged = nullptr;
    state_.mainWindow = nullptr;
}

bool GpsAppHost::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void GpsAppHost::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

int GpsAppHost::Count(MessageId message) const {
    return int(std::count_if(messages.begin(), messages.end(),
                             [message](const ReceivedMessage& m) { return m.message == message; }));
}

bool GpsAppHost::SynchronizeEnabled() const {
    QWidget* bar = state_.gpsConnected ? state_.disconnectBar : state_.connectBar;
    for (const QAction* action : SoftKeyMenu(bar, IDM_MENU)->actions()) {
        if (action->data().toInt() == IDM_SYNCHRONIZE)
            return action->isEnabled();
    }
    return false;
}

bool GpsAppHost::event(QEvent* event) {
    const WindowMessage* message = AsWindowMessage(event);
    if (message == nullptr)
        return QObject::event(event);
    messages.push_back({message->message(), message->wParam()});
    switch (message->message()) {
    case MSG_GPS_DATA:
        CountGpsNotification(state_);
        DrawFrame();
        break;
    case MSG_REFRESH:
        DrawFrame();
        break;
    case MSG_SYNC_FAILED:
        ShowSyncFailed(&window, message->wParam());
        break;
    case MSG_SYNC_DONE:
        ShowSyncDone(&window, message->wParam());
        break;
    }
    return true;
}

void GpsAppHost::timerEvent(QTimerEvent* event) {
    if (LogicalTimerId(state_.windowTimers, event->timerId()) == TIMER_SYNC)
        OnSyncTimeout(state_);
}

void GpsAppHost::DrawFrame() {
    CalendarTime shown;
    PollGpsTime(state_, shown);
    if (state_.gpsTimeValid != indicatorShown_) {
        indicatorShown_ = state_.gpsTimeValid;
        OnGpsTimeValidChanged(state_);
    }
}

size_t ThreadCount() {
    size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

} // namespace mv::test
