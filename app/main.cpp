// The program's entry point: a Qt application around RunProgram.
#include "app/run_program.h"
#include "platform/wayland_client_setup.h"

#include <QApplication>

int main(int argc, char** argv) {
    mv::PreferLeanWaylandClient();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marovellastrine"));
    mv::ForgetLeanWaylandClientSetting();
    return mv::RunProgram();
}
