#include "platform/os_build.h"

#include <QString>
#include <algorithm>
#include <array>
#include <sys/utsname.h>

namespace mv {

int32_t BuildNumberFromRelease(QStringView release) {
    std::array<int32_t, 3> parts{};
    size_t part = 0;
    bool inNumber = false;
    for (const QChar c : release) {
        if (c.isDigit() && c.unicode() < 0x80) {
            parts[part] = std::min(parts[part] * 10 + (c.unicode() - u'0'), 999);
            inNumber = true;
            continue;
        }
        // The numbers end at the first character that is neither a digit nor a dot between them.
        if (c != QLatin1Char('.') || !inNumber || ++part == parts.size())
            break;
        inNumber = false;
    }
    return parts[0] * 1000000 + parts[1] * 1000 + parts[2];
}

int32_t ReadOsBuildNumber() {
    utsname name{};
    if (uname(&name) != 0)
        return 0;
    return BuildNumberFromRelease(QString::fromLatin1(name.release));
}

} // namespace mv
