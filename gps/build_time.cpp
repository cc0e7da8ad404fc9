#include "gps/sync_finish.h"
#include "platform/device_clock.h"

namespace mv {

namespace {
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
} // namespace

int64_t BuildTimeCount() {
    // Seconds since 1970 in UTC, given by the build (SOURCE_DATE_EPOCH when set).
    return (int64_t(MV_BUILD_UNIX_TIME) + kSecondsFrom1601To1970) * kUnitsPerSecond;
}

} // namespace mv
