#pragma once
// `info`: what the program itself makes of a skin file, as one JSON object.

#include <QJsonObject>
#include <QString>

namespace mv {

struct InfoOptions {
    bool smoothShapes = false;
    bool shadow = false;
};

// Loads the skin with the program's loader and the given drawing options (the screen's
// resolution must already be decided) and describes the result; `loaded` tells whether the
// loader accepted the file.
QJsonObject DescribeSkin(const QString& path, const InfoOptions& options, bool& loaded);

} // namespace mv
