#pragma once
// The feeder's loop: one TCP listener on loopback, at most one connected reader (gpsd), one
// reporting cycle per second, and control commands read line by line from stdin:
//   fix none|2d|3d|dgps   change the fix from the next cycle on
//   stop / start          stop and resume sending (the receiver goes silent)
//   quit                  end the feeder

#include "nmea_sentences.h"

#include <cstdint>

namespace mv::feeder {

struct FeederOptions {
    uint16_t port = 0; // 0: any free port; the chosen one is printed as "listening PORT"
    FixKind fix = FixKind::ThreeD;
    int64_t offsetMilliseconds = 0; // the simulated receiver's time minus the system's UTC
    // Each cycle is sent this long after the top of its (offset) second: a delay drawn uniformly
    // between the two bounds from a generator seeded with `seed`; equal bounds give a fixed one.
    uint32_t minDelayMilliseconds = 0;
    uint32_t maxDelayMilliseconds = 0;
    uint32_t seed = 1;
    bool sending = true;
};

// Runs until "quit" or a fatal socket error. Returns the process exit status.
int RunFeeder(const FeederOptions& options);

} // namespace mv::feeder
