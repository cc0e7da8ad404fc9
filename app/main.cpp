// The program: installs the per-user files on first start, loads the settings and the skin, and
// shows the running clock.
#include "app/app_state.h"
#include "app/clock_window.h"
#include "app/settings.h"
#include "app/user_install.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <memory>

namespace {

// A portrait window of up to 480 x 640 device pixels that fits the available screen area.
QSize InitialWindowSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen != nullptr ? screen->availableSize() : QSize(480, 640);
    const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    return QSize(480, 640).scaled(available * ratio, Qt::KeepAspectRatio).boundedTo({480, 640}) /
           ratio;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marovellastrine"));

    auto state = std::make_unique<mv::AppState>();
    mv::InstallPerUserFiles();
    mv::LoadSettings(state->settings);
    if (!state->settings.SkinPath || !mv::LoadSkin(*state->settings.SkinPath, state->settings,
                                                   state->skin, state->handRenderer)) {
        std::fprintf(stderr, "marovellastrine: no skin could be loaded (%s)\n",
                     state->settings.SkinPath ? mv::LastSkinError() : "no skin path");
        return 1;
    }

    mv::ClockWindow window(*state);
    window.resize(InitialWindowSize());
    window.InitClock();
    window.show();
    return QApplication::exec();
}
