// marovellastrine-sync: sets the device clock from GPS time, without a window.

#include "tools/sync/sync_options.h"
#include "tools/sync/sync_tool.h"

#include <QCoreApplication>
#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    using namespace mv::sync_tool;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParsedOptions parsed = ParseSyncOptions(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "marovellastrine-sync: %s\n%s", parsed.problem.c_str(), kUsage.data());
        return kExitUsage;
    }
    if (parsed.options->help) {
        std::printf("%s\n%s", kUsage.data(), kHelp.data());
        return kExitDone;
    }
    if (parsed.options->version) {
        std::printf("marovellastrine-sync %s\n", MV_VERSION);
        return kExitDone;
    }
    QCoreApplication application(argc, argv);
    return RunSync(*parsed.options);
}
