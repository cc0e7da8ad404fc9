// libFuzzer target for the skin loader: each input is written to a skin file and loaded with a
// fresh skin and hand renderer, with smooth shapes and shadows on so every resource is made.
#include "platform/screen.h"
#include "skin/skin_loader.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Lives until the process ends and is never destroyed: Qt's own globals may already be gone when
// static destructors run after libFuzzer calls exit().
struct FuzzHost {
    std::unique_ptr<QGuiApplication> app;
    std::unique_ptr<QTemporaryDir> dir; // private: mode 0700
    QString skinPath;
};

FuzzHost& Host() {
    static FuzzHost& host = *std::make_unique<FuzzHost>().release();
    return host;
}

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Registered after the application exists, so it runs before Qt's globals are torn down.
void RemoveScratchFolder() {
    Host().dir.reset();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image decoding needs a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(Quiet);
    FuzzHost& host = Host();
    host.app = std::make_unique<QGuiApplication>(*argc, *argv);
    host.dir = std::make_unique<QTemporaryDir>();
    if (!host.dir->isValid())
        std::abort();
    std::atexit(RemoveScratchFolder);
    // The loader's temporary file goes to the runtime folder: one of our own per fuzzing process,
    // so parallel jobs never share it.
    QFile::setPermissions(host.dir->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(host.dir->path()));
    host.skinPath = host.dir->path() + QStringLiteral("/input.scs");
    mv::OverrideScreenDpi(96, 96);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QFile file(Host().skinPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();

    mv::Settings settings;
    settings.AntiAliased = 1;
    settings.Shadow = 1;
    mv::Skin skin;
    mv::HandRenderer renderer;
    mv::LoadSkin(Host().skinPath, settings, skin, renderer);
    mv::ReleaseSkin(skin, renderer);
    return 0;
}
