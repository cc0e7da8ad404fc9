// Crash-test helper: rewrites one large store value with two contents in turn until it is killed,
// telling the parent on standard output after each completed write ("w").
#include "platform/store.h"
#include "store_crash_payload.h"

#include <unistd.h>

int main() {
    using namespace mv;
    StoreKey key;
    if (StoreCreateKey(StoreRoot::CurrentUser, test::kCrashKeyPath, StoreAccess::ReadWrite, key,
                       nullptr) != kStoreOk)
        return 1;
    const std::u16string contents[2] = {test::CrashPayload(1), test::CrashPayload(0)};
    for (unsigned long i = 0;; ++i) {
        if (StoreSetString(key, test::kCrashValueName, contents[i % 2]) != kStoreOk ||
            ::write(STDOUT_FILENO, "w", 1) != 1)
            return 1;
    }
}
