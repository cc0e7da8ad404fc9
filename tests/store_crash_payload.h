#pragma once
// The two contents the crash-test writer alternates between: large, different from each other,
// and full of units the store file has to escape.

#include "platform/store.h"

#include <string>

namespace mv::test {

inline constexpr std::u16string_view kCrashKeyPath = u"Software\\CrashTest\\";
inline constexpr std::u16string_view kCrashValueName = u"Payload";

// Large enough that a write takes a while, small enough that hundreds of kills stay quick.
inline constexpr size_t kCrashPayloadUnits = 64 * 1024;

inline std::u16string CrashPayload(int which) {
    constexpr char16_t kAlphabet[] = u"aZ09 \"\\\n\t\x01\u00e9\u4e2d\xd800\xdc00\U0001F600\0";
    constexpr size_t kUnits = sizeof kAlphabet / sizeof kAlphabet[0];
    std::u16string payload;
    payload.reserve(kCrashPayloadUnits);
    for (size_t i = 0; payload.size() < kCrashPayloadUnits; ++i)
        payload += kAlphabet[(i * (which == 0 ? 7 : 11) + size_t(which)) % kUnits];
    return payload;
}

} // namespace mv::test
