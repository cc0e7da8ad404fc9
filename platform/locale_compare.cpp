#include "platform/locale_compare.h"

#include <QCollator>

namespace mv {

int CompareInLocale(QStringView a, QStringView b) {
    // Made once: a collator is costly to set up and folders are sorted one comparison at a time.
    static const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        made.setIgnorePunctuation(false);
        made.setNumericMode(false);
        return made;
    }();
    return collator.compare(a, b);
}

} // namespace mv
