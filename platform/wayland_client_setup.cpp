#include "platform/wayland_client_setup.h"

#include <QCoreApplication>
#include <QTimer>

namespace mv {

namespace {

constexpr char kNoDecorationVariable[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
bool variableIsOurs = false;

} // namespace

void PreferLeanWaylandClient() {
    if (qEnvironmentVariableIsSet(kNoDecorationVariable))
        return;
    qputenv(kNoDecorationVariable, "1");
    variableIsOurs = true;
}

void ForgetLeanWaylandClientSetting() {
    if (!variableIsOurs)
        return;
    // Every window of the program is shown before its event loop first runs, so this runs after
    // the first window has read the variable.
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        qunsetenv(kNoDecorationVariable);
        variableIsOurs = false;
    });
}

} // namespace mv
