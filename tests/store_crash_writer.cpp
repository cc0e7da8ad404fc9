// Crash-test helper: rewrites one large store value with two contents in turn until it is killed.
// It tells the parent on standard output when it is about to start writing ("r") and after each
// completed write ("w").
#include "store_crash_payload.h"

#include <unistd.h>

int main() {
    using namespace mv;
    StoreKey key;
    if (StoreCreateKey(StoreRoot::CurrentUser, test::kCrashKeyPath, StoreAccess::ReadWrite, key,
                       nullptr) != kStoreOk)
        return 1;
    const std::u16string contents[2] = {test::CrashPayload(1), test::CrashPayload(0)};
    if (::write(STDOUT_FILENO, "r", 1) != 1)
        return 1;
    for (unsigned long i = 0;; ++i) {
        if (StoreSetString(key, test::kCrashValueName, contents[i % 2]) != kStoreOk ||
            ::write(STDOUT_FILENO, "w", 1) != 1)
            return 1;
    }
}
