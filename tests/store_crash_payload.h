#pragma once
// The crash-test writer's value and its two contents: large, so that a write takes a while, and
// different from each other.

#include <string>

namespace mv::test {

inline constexpr std::u16string_view kCrashKeyPath = u"Software\\CrashTest\\";
inline constexpr std::u16string_view kCrashValueName = u"Payload";

inline std::u16string CrashPayload(int which) {
    return std::u16string(64 * 1024, which == 0 ? u'"' : u'\u4e2d');
}

} // namespace mv::test
