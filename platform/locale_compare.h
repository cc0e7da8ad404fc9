#pragma once
// Comparing texts the way the user's locale orders them.

#include <QStringView>

namespace mv {

// Negative, 0 or positive as a sorts before, with or after b in the user's locale. Letter case is
// ignored; punctuation such as hyphens and apostrophes is compared as symbols, not skipped.
int CompareInLocale(QStringView a, QStringView b);

} // namespace mv
