// The program's entry point: a Qt application around RunProgram.
#include "app/run_program.h"
#include "platform/wayland_client_setup.h"

#include <QApplication>
#include <cstdio>
#include <span>
#include <string_view>

namespace {

constexpr char kHelp[] =
    "usage: marovellastrine [--help] [--version]\n"
    "\n"
    "A skinnable analog clock that shows GPS time from gpsd and can set the system clock\n"
    "from it. Its options are set in the clock itself (Menu, Preferences and GPS Settings).\n"
    "QT_QPA_PLATFORM chooses how it reaches the screen: xcb, wayland, linuxfb, eglfs or vnc.\n"
    "\n"
    "  --help     print this help\n"
    "  --version  print the version\n";

// --help and --version are answered before Qt starts, so they need no display. Any other
// argument is left to Qt, as before.
bool AnswerInformationRequest(std::span<char*> arguments) {
    for (const std::string_view argument : arguments) {
        if (argument == "--help") {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (argument == "--version") {
            std::printf("marovellastrine %s\n", MV_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnswerInformationRequest(std::span(argv, static_cast<size_t>(argc)).subspan(1)))
        return 0;
    mv::PreferLeanWaylandClient();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marovellastrine"));
    mv::ForgetLeanWaylandClientSetting();
    return mv::RunProgram();
}
