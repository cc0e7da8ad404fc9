#pragma once
// `pack` and `unpack`: between a skin file and a folder holding its manifest and pictures.

#include <QString>
#include <QStringList>

namespace mv {

// Builds the skin file `output` from a manifest. On failure `error` says why (naming the
// manifest line where there is one) and nothing is written.
bool PackSkin(const QString& manifestPath, const QString& output, QString& error,
              QStringList& warnings);

// Writes the manifest and the raw picture blocks of `skinPath` into `folder` (made if needed),
// so that packing that manifest gives the same bytes again.
bool UnpackSkin(const QString& skinPath, const QString& folder, QString& error);

// "face.png", "background.jpeg", ... by the picture's content; ".bin" when not recognised.
QString PictureFileName(const QString& stem, const QByteArray& bytes);

} // namespace mv
