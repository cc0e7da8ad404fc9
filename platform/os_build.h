#pragma once
// The operating system's build number, for addresses that ask which system the program runs on.

#include <QStringView>
#include <cstdint>

namespace mv {

// The running kernel's release as one decimal number: major x 1000000 + minor x 1000 + patch,
// so "6.1.76-amd64" gives 6001076. 0 when the release can't be read.
int32_t ReadOsBuildNumber();

// The same number for a release text; parts above 999 are held at 999, missing parts count as 0.
int32_t BuildNumberFromRelease(QStringView release);

} // namespace mv
