// marovellastrine-skin: looks into, builds and takes apart skin files for skin authors.
#include "platform/screen.h"
#include "tools/skin-tool/skin_commands.h"
#include "tools/skin-tool/skin_info.h"
#include "tools/skin-tool/skin_render.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QJsonDocument>
#include <QStringList>
#include <cstdio>
#include <string_view>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: marovellastrine-skin info SKIN [--smooth-shapes] [--shadow] [--dpi N]\n"
    "       marovellastrine-skin pack MANIFEST -o SKIN\n"
    "       marovellastrine-skin unpack SKIN DIR\n"
    "       marovellastrine-skin render SKIN --size WxH --time HH:MM:SS[.mmm] [--smooth-shapes]\n"
    "                [--shadow] [--smooth-motion] [--gps] [--dpi N] [--then HH:MM:SS[.mmm]]...\n"
    "                --out FILE.png\n"
    "       marovellastrine-skin --help | --version\n"
    "\n"
    "info    loads SKIN as the clock does (by default without smooth shapes and shadow, at\n"
    "        96 dpi) and prints what it found as one JSON object; exit 1 if it is refused\n"
    "pack    builds SKIN from a manifest that names the pictures and gives every parameter\n"
    "unpack  writes the manifest and the pictures of SKIN into DIR; packing them again gives\n"
    "        the same bytes\n"
    "render  draws SKIN as the clock does in a window of WxH device pixels: a full frame at\n"
    "        --time, then a partial frame at each --then (--gps: the times come from a GPS\n"
    "        receiver with a fix); writes the picture as an 8-bit RGB PNG\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "marovellastrine-skin: %s\n%s", problem, kUsage);
    return kExitUsage;
}

int Fail(const QString& message) {
    std::fprintf(stderr, "marovellastrine-skin: %s\n", qPrintable(message));
    return kExitFailed;
}

int RunInfo(const QStringList& args) {
    mv::InfoOptions options;
    int dpi = 96;
    QString path;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--smooth-shapes")) {
            options.smoothShapes = true;
        } else if (args[i] == QLatin1String("--shadow")) {
            options.shadow = true;
        } else if (args[i] == QLatin1String("--dpi")) {
            bool ok = false;
            dpi = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || dpi <= 0 || dpi > 10000)
                return Usage("--dpi needs a whole number of dots per inch from 1 to 10000");
        } else if (args[i].startsWith(u'-') || !path.isEmpty()) {
            return Usage("info: unexpected argument");
        } else {
            path = args[i];
        }
    }
    if (path.isEmpty())
        return Usage("info: which skin file?");
    mv::OverrideScreenDpi(dpi, dpi); // before the loader reads the resolution
    bool loaded = false;
    const QJsonObject description = mv::DescribeSkin(path, options, loaded);
    std::fputs(QJsonDocument(description).toJson(QJsonDocument::Indented).constData(), stdout);
    return loaded ? kExitOk : kExitFailed;
}

int RunPack(const QStringList& args) {
    QString manifest;
    QString output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o") && i + 1 < args.size() && output.isEmpty())
            output = args[++i];
        else if (!args[i].startsWith(u'-') && manifest.isEmpty())
            manifest = args[i];
        else
            return Usage("pack: unexpected argument");
    }
    if (manifest.isEmpty() || output.isEmpty())
        return Usage("pack needs a manifest and -o SKIN");
    QString error;
    QStringList warnings;
    const bool packed = mv::PackSkin(manifest, output, error, warnings);
    for (const QString& warning : warnings)
        std::fprintf(stderr, "marovellastrine-skin: warning: %s\n", qPrintable(warning));
    return packed ? kExitOk : Fail(error);
}

int RunUnpack(const QStringList& args) {
    if (args.size() != 2 || args[0].startsWith(u'-') || args[1].startsWith(u'-'))
        return Usage("unpack needs a skin file and a folder");
    QString error;
    return mv::UnpackSkin(args[0], args[1], error) ? kExitOk : Fail(error);
}

int RunRender(const QStringList& args) {
    mv::RenderRequest request;
    QString problem;
    if (!mv::ParseRenderArguments(args, request, problem))
        return Usage(qPrintable(problem));
    mv::OverrideScreenDpi(request.dpi, request.dpi); // before the loader reads the resolution
    QImage picture;
    QString error;
    if (!mv::RenderSkin(request, picture, error))
        return Fail(QStringLiteral("%1: %2").arg(request.skinPath, error));
    QImageWriter writer(request.output, "png");
    if (!writer.write(picture))
        return Fail(QStringLiteral("%1: %2").arg(request.output, writer.errorString()));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts: they need neither a display nor Qt's platform plugins.
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (first == "--version") {
        std::printf("marovellastrine-skin %s\n", MV_VERSION);
        return kExitOk;
    }

    mv::UseOffscreenWithoutDisplay();
    QGuiApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return Usage("which command?");
    const QString command = args.takeFirst();
    if (command == QLatin1String("info"))
        return RunInfo(args);
    if (command == QLatin1String("pack"))
        return RunPack(args);
    if (command == QLatin1String("unpack"))
        return RunUnpack(args);
    if (command == QLatin1String("render"))
        return RunRender(args);
    return Usage("unknown command");
}
