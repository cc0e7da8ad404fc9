#pragma once
// The skin manifest: a text file of `key = value` lines that names the pictures and gives every
// parameter of a skin, read by `pack` and written by `unpack`.

#include "tools/skin-tool/packed_skin.h"

#include <QString>
#include <QStringView>

namespace mv {

constexpr char kManifestFileName[] = "skin.manifest";

// Parses manifest text; picture paths are taken relative to `baseDir` and read. On failure
// `error` names the line ("line 7: ...") or the missing key.
bool ParseManifest(QStringView text, const QString& baseDir, PackedSkin& skin, QString& error);

// Manifest text for `skin` with its pictures stored under the given file names (background
// ignored when the skin has none). Parsing it back gives the same skin.
QString FormatManifest(const PackedSkin& skin, const QString& faceFile,
                       const QString& backgroundFile);

} // namespace mv
