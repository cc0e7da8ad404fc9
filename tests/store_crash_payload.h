#pragma once
// The crash-test writer's value and its two contents: large, so that a write takes a while.

#include <string>

namespace mv::test {

inline constexpr std::u16string_view kCrashKeyPath = u"Software\\CrashTest\\";
inline constexpr std::u16string_view kCrashValueName = u"Payload";

// Units the store file writes escaped, in hex where they aren't text: a quote, a control
// character, a lone surrogate; the second content is the first one shifted by a unit.
inline std::u16string CrashPayload(int which) {
    constexpr std::u16string_view kUnits = u"\"\x01\xd800";
    std::u16string payload(64 * 1024, u' ');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = kUnits[(i + size_t(which)) % kUnits.size()];
    return payload;
}

} // namespace mv::test
