#pragma once
// A fresh home, a fixed 96 dots per inch, and one skin and hand renderer per test, released at the
// end, with helpers to write and load skin files.

#include "clock/face_renderer.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"
#include "skin_file_builder.h"
#include "test_env.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace mv::test {

// A face sheet 8 x 6 pixels: grey, with the key colour in the left half of the top row and a
// colour one step away from the key at (7, 0).
inline QImage FacePicture() {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(qRgb(90, 100, 110));
    for (int x = 0; x < 4; ++x)
        image.setPixel(x, 0, qRgb(255, 0, 255));
    image.setPixel(7, 0, qRgb(254, 0, 255));
    return image;
}

// An ordinary skin: one hour hand (tip 60, half width 2; base -10, half width 3; shadow 4), a
// minute hand with an overlay, a shadow, and FacePicture as its face.
inline SkinFileLayout SampleSkin() {
    SkinFileLayout layout;
    layout.face = EncodePicture(FacePicture(), "PNG");
    SkinParameters& p = layout.parameters;
    p.keyColor = MakeColor(255, 0, 255);
    p.backgroundTopColor = MakeColor(1, 2, 3);
    p.backgroundBottomColor = MakeColor(4, 5, 6);
    p.faceRect = {0, 1, 8, 6};
    p.hubRect = {4, 0, 6, 1};
    p.gpsIndicatorRect = {6, 0, 7, 1};
    p.gpsIndicatorX = 11;
    p.gpsIndicatorY = -12;
    p.hands[0].main = {MakeColor(10, 20, 30), 60, 3, 2, -10, kCapBase | kCapTip};
    p.hands[0].shadowOffset = 4;
    p.hands[1].main = {MakeColor(40, 50, 60), 40, 2, 1, 0, 0};
    p.hands[1].overlay = {MakeColor(70, 80, 90), 30, 1, 1, 0, 0};
    p.shadowAlpha = 128;
    p.hubShadowOffset = 2;
    p.pivotOffsetX = -3;
    p.pivotOffsetY = 5;
    p.placement = 0x6;
    return layout;
}

class SkinLoadTest : public ::testing::Test {
protected:
    // Read once per process: every test of this program runs at 96 dots per inch.
    void SetUp() override { OverrideScreenDpi(96, 96); }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = home.Path() + "/" + name;
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    bool Load(const QByteArray& bytes) { return face.LoadSkin(Write("skin.scs", bytes), options); }
    bool Load(const SkinFileLayout& layout) { return Load(BuildSkinFile(layout)); }
    QString TempPath() const { return home.RuntimeDir() + "/" + kSkinTempFileName; }

    IsolatedHome home;
    FaceOptions options{.smoothShapes = true, .smoothMotion = false, .shadow = true};
    FaceRenderer face;
    const Skin& skin = face.GetSkin();
    HandRenderer& renderer = face.Hands();
};

} // namespace mv::test
