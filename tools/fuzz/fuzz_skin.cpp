// libFuzzer target for the skin loader and the frames: each input is written to a skin file and
// loaded in each of the four drawing modes; a skin that loads is drawn as a full frame and then
// as partial frames while the hands move, with the GPS indicator shown, in three small windows
// (one odd and tall). Whatever loads must draw.
#include "clock/face_renderer.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"
#include "tools/skin-tool/skin_render.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <array>
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

namespace {

struct Mode {
    bool smoothShapes;
    bool shadow;
};
constexpr std::array<Mode, 4> kModes = {
    {{false, false}, {true, false}, {false, true}, {true, true}}};
constexpr std::array<QSize, 3> kWindows = {{{97, 1000}, {240, 320}, {481, 239}}};

mv::CalendarTime At(uint16_t hour, uint16_t minute, uint16_t second) {
    mv::CalendarTime time{};
    time.year = 2024;
    time.month = 3;
    time.day = 14;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    return time;
}

// A full frame, then ticks that move the second hand alone, the minute hand with it, all three,
// and the indicator on and off.
void DrawFrames(mv::FaceRenderer& face) {
    mv::CalendarTime shown;
    mv::ShowTimeOnDeviceClock(At(10, 59, 58), shown);
    face.ComputeDisplayTime(shown);
    face.DrawFullFrame(true);
    const struct {
        mv::CalendarTime time;
        bool gps;
    } ticks[] = {
        {At(10, 59, 59), true}, {At(11, 0, 0), true}, {At(11, 0, 10), false}, {At(11, 2, 1), true}};
    for (const auto& tick : ticks) {
        if (mv::ShowTimeOnDeviceClock(tick.time, shown))
            face.DrawPartialFrame(shown, tick.gps);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QFile file(Host().skinPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();

    for (const Mode& mode : kModes) {
        const auto face = std::make_unique<mv::FaceRenderer>();
        mv::PaintRecorder recorder;
        face->Paint().recorder = &recorder;
        const bool loaded =
            face->LoadSkin(Host().skinPath, {mode.smoothShapes, false, mode.shadow});
        if (loaded) {
            for (const QSize& window : kWindows) {
                face->ResizeBackBuffer(window.width(), window.height(), false);
                DrawFrames(*face);
            }
        }
        if (!loaded)
            break; // the drawing options don't change what a load refuses
    }
    return 0;
}
