#include "gps/sync_decision.h"

namespace mv {

UtcTime BuildTime() {
    // Seconds since 1970 in UTC, given by the build (SOURCE_DATE_EPOCH when set).
    return UtcTime(std::chrono::seconds(int64_t(MV_BUILD_UNIX_TIME)));
}

} // namespace mv
