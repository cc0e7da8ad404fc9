#include "tools/skin-tool/skin_commands.h"

#include "tools/skin-tool/packed_skin.h"
#include "tools/skin-tool/skin_manifest.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSaveFile>

namespace mv {

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("can't write '%1': %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

QString PictureFileName(const QString& stem, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QString format;
    if (buffer.open(QIODevice::ReadOnly))
        format = QString::fromLatin1(QImageReader::imageFormat(&buffer)).toLower();
    static const QRegularExpression plainName(QStringLiteral("^[a-z0-9]{1,8}$"));
    if (!plainName.match(format).hasMatch())
        format = QStringLiteral("bin");
    return stem + u'.' + format;
}

bool PackSkin(const QString& manifestPath, const QString& output, QString& error,
              QStringList& warnings) {
    QFile manifest(manifestPath);
    if (!manifest.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("can't read '%1': %2").arg(manifestPath, manifest.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(manifest.readAll());
    PackedSkin skin;
    QString reason;
    if (!ParseManifest(text, QFileInfo(manifestPath).absolutePath(), skin, reason)) {
        error = manifestPath + QStringLiteral(": ") + reason;
        return false;
    }
    const QByteArray file = BuildSkinFile(skin);
    if (file.isEmpty()) {
        error = QStringLiteral("the pictures are too large for a skin file's 32-bit offsets");
        return false;
    }
    // Packed anyway, so that any skin file can be rebuilt, but the program would refuse these.
    if (QImage::fromData(skin.face).isNull())
        warnings << QStringLiteral("the face picture doesn't decode; the clock will refuse "
                                   "this skin");
    if (skin.headerLength == kSkinPreambleLength)
        warnings << QStringLiteral("headerLength 44 stores no parameters; the clock will refuse "
                                   "this skin");
    if (skin.hasBackground && QImage::fromData(skin.background).isNull())
        warnings << QStringLiteral("the background picture doesn't decode; the clock will paint "
                                   "the background colours instead");
    return WriteFile(output, file, error);
}

bool UnpackSkin(const QString& skinPath, const QString& folder, QString& error) {
    QFile input(skinPath);
    if (!input.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("can't read '%1': %2").arg(skinPath, input.errorString());
        return false;
    }
    PackedSkin skin;
    QString reason;
    if (!SplitSkinFile(input.readAll(), skin, reason)) {
        error = QStringLiteral("can't unpack '%1': %2").arg(skinPath, reason);
        return false;
    }
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("can't make the folder '%1'").arg(folder);
        return false;
    }
    const QDir dir(folder);
    const QString faceName = PictureFileName(QStringLiteral("face"), skin.face);
    const QString backgroundName = PictureFileName(QStringLiteral("background"), skin.background);
    if (!WriteFile(dir.filePath(faceName), skin.face, error))
        return false;
    if (skin.hasBackground && !WriteFile(dir.filePath(backgroundName), skin.background, error))
        return false;
    const QString manifest = FormatManifest(skin, faceName, backgroundName);
    return WriteFile(dir.filePath(kManifestFileName), manifest.toUtf8(), error);
}

} // namespace mv
