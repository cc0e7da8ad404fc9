#pragma once
// The headless synchronisation: the program's GPS session and synchronisation procedure in a
// QCoreApplication, with each sample and the closing message printed.

#include "tools/sync/sync_options.h"

namespace mv::sync_tool {

enum ExitCode : int {
    kExitDone = 0,
    kExitSyncFailed = 1,
    kExitNoGpsDevice = 2,
    kExitClockNotSet = 3,
    kExitUsage = 64,
};

// Runs one synchronisation (or measurement, with --query) in the running QCoreApplication and
// returns the tool's exit code. Prints each sample and the closing message on stdout.
int RunSync(const SyncOptions& options);

} // namespace mv::sync_tool
