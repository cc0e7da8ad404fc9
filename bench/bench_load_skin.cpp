// The time of one whole skin load: reading the file, decoding both pictures through the temporary
// file, preparing the face sheet and the hand renderer (smooth shapes and shadow on).
#include "clock/face_renderer.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"
#include "skin_file_builder.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const QString kDefaultSkin = QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_480.scs");

// A stand-in of the same class as the 480-pixel default skin, for when it hasn't been built:
// a 480 x 560 face sheet (dial, hub, GPS indicator) and a tiled background.
QByteArray StandInSkin() {
    QImage sheet(480, 560, QImage::Format_RGB32);
    sheet.fill(qRgb(255, 0, 255));
    QPainter painter(&sheet);
    QRadialGradient dial(240, 240, 240);
    dial.setColorAt(0, qRgb(250, 250, 240));
    dial.setColorAt(1, qRgb(120, 120, 140));
    painter.setBrush(dial);
    painter.drawEllipse(0, 0, 480, 480);
    for (int tick = 0; tick < 60; ++tick) {
        painter.save();
        painter.translate(240, 240);
        painter.rotate(tick * 6.0);
        painter.fillRect(-2, -230, 4, tick % 5 == 0 ? 30 : 12, Qt::black);
        painter.restore();
    }
    painter.setBrush(Qt::darkGray);
    painter.drawEllipse(0, 480, 40, 40);
    painter.setBrush(Qt::green);
    painter.drawRect(50, 480, 32, 32);
    painter.end();

    mv::test::SkinFileLayout layout;
    mv::SkinParameters& p = layout.parameters;
    p.keyColor = mv::MakeColor(255, 0, 255);
    p.faceRect = {0, 0, 480, 480};
    p.hubRect = {0, 480, 40, 520};
    p.gpsIndicatorRect = {50, 480, 82, 512};
    p.hands[0].main = {0x202020, 120, 8, 5, -20, mv::kCapBase | mv::kCapTip};
    p.hands[1].main = {0x202020, 190, 6, 4, -25, mv::kCapBase | mv::kCapTip};
    p.hands[2].main = {0x0000C0, 210, 2, 1, -40, 0};
    for (mv::HandStyle& hand : p.hands)
        hand.shadowOffset = 6;
    p.shadowAlpha = 96;
    layout.face = mv::test::EncodePicture(sheet, "PNG");
    QImage tile(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            tile.setPixel(x, y, qRgb(40 + x, 60 + y, 90));
    layout.background = mv::test::EncodePicture(tile, "PNG");
    return mv::test::BuildSkinFile(layout);
}

void BM_LoadSkin(benchmark::State& state, const QString& path) {
    mv::FaceRenderer face;
    for (auto _ : state) {
        if (!face.LoadSkin(path, {true, false, true})) {
            state.SkipWithError(mv::LastSkinError());
            break;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    mv::OverrideScreenDpi(96, 96);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir scratch;
    QString path = kDefaultSkin;
    const char* name = "LoadSkin/default_480";
    if (!QFile::exists(path)) {
        path = scratch.path() + "/stand_in_480.scs";
        QFile file(path);
        if (!scratch.isValid() || !file.open(QIODevice::WriteOnly) || file.write(StandInSkin()) < 0)
            return 1;
        name = "LoadSkin/stand_in_480";
    }
    benchmark::RegisterBenchmark(name, BM_LoadSkin, path)->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
