// marovellastrine-make-skins: draws the default skins and writes them as skin files.
#include "platform/screen.h"
#include "skin/skin_writer.h"
#include "tools/skin-generator/default_skin.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>

namespace {

constexpr char kUsage[] =
    "usage: marovellastrine-make-skins OUTDIR [--faces] [--preview PNG]\n"
    "  writes default_240.scs, default_320.scs, default_480.scs, default_720.scs,\n"
    "  default_1080.scs and default_1440.scs to OUTDIR; --faces also writes their\n"
    "  face pictures, --preview a picture of the clocks side by side\n";

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    std::fprintf(stderr, "marovellastrine-make-skins: can't write %s: %s\n", qPrintable(path),
                 qPrintable(file.errorString()));
    return false;
}

QByteArray PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QImage SideBySide(const std::vector<QImage>& pictures) {
    const int gap = 16;
    int width = gap;
    int height = 0;
    for (const QImage& picture : pictures) {
        width += picture.width() + gap;
        height = std::max(height, picture.height());
    }
    QImage sheet(width, height + 2 * gap, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF4, 0xF4, 0xF2));
    QPainter painter(&sheet);
    int x = gap;
    for (const QImage& picture : pictures) {
        painter.drawImage(x, gap + height - picture.height(), picture);
        x += picture.width() + gap;
    }
    return sheet;
}

} // namespace

int main(int argc, char** argv) {
    mv::UseOffscreenWithoutDisplay();
    QGuiApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    QString outDir;
    QString preview;
    bool faces = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--faces")) {
            faces = true;
        } else if (args[i] == QLatin1String("--preview") && i + 1 < args.size()) {
            preview = args[++i];
        } else if (!args[i].startsWith(u'-') && outDir.isEmpty()) {
            outDir = args[i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (outDir.isEmpty() || !QDir().mkpath(outDir)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const QDir dir(outDir);
    std::vector<QImage> previews;
    for (const auto [sizeClass, dialSize] : mv::kDefaultSkinSizes) {
        const QImage face = mv::DrawFaceSheet(dialSize);
        const QByteArray facePng = PngBytes(face);
        mv::SkinFileContents contents;
        contents.parameters = mv::DefaultSkinParameters(dialSize);
        contents.faceBytes = {reinterpret_cast<const uint8_t*>(facePng.constData()),
                              size_t(facePng.size())};
        const QByteArray skin = mv::WriteSkinBytes(contents);
        const QString name = QStringLiteral("default_%1").arg(sizeClass);
        if (facePng.isEmpty() || skin.isEmpty() || !WriteFile(dir.filePath(name + ".scs"), skin))
            return 1;
        if (faces && !WriteFile(dir.filePath(name + ".png"), facePng))
            return 1;
        if (!preview.isEmpty())
            previews.push_back(mv::RenderSkinPreview(contents.parameters, face));
    }
    if (!preview.isEmpty() && !WriteFile(preview, PngBytes(SideBySide(previews))))
        return 1;
    return 0;
}
