// Full and partial frames of the clock face: a run of partial frames leaves exactly the picture
// that one full frame draws, every pixel a pass changes is repainted, and passes are split as the
// hands move.
#include "clock/clock_face_widget.h"
#include "clock/face_renderer.h"
#include "clock/prepare_hand_renderer.h"
#include "face_fixture.h"
#include "platform/device_clock.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"
#include "skin_file_builder.h"
#include "test_env.h"
#include "tools/skin-tool/skin_render.h"

#include <QImageReader>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

CalendarTime At(const char* text) {
    CalendarTime time;
    EXPECT_TRUE(ParseClockTime(QString::fromLatin1(text), time)) << text;
    return time;
}

// A full frame at the time the device clock (or the receiver) shows.
void DrawFullFrameAt(Face& face, const CalendarTime& time, bool gps) {
    ASSERT_TRUE(face.Show(time, gps));
    face.clock->ComputeDisplayTime(face.shown);
    face.clock->DrawFullFrame(face.gps);
}

// The pixels that differ between two pictures of the same size and format.
QRegion ChangedPixels(const QImage& before, const QImage& after) {
    QRegion changed;
    const int bytes = before.depth() / 8;
    for (int y = 0; y < before.height(); ++y) {
        const uchar* a = before.constScanLine(y);
        const uchar* b = after.constScanLine(y);
        for (int x = 0; x < before.width(); ++x)
            if (std::memcmp(a + x * bytes, b + x * bytes, size_t(bytes)) != 0)
                changed += QRect(x, y, 1, 1);
    }
    return changed;
}

struct Tick {
    const char* time;
    bool gps;
    int passesWholeDegree; // plain and shadow: minute every 10 s, hour every 2 min
    int passesHalfDegree;  // smooth shapes: minute every 5 s, hour every minute
};
// Seconds, a minute and hour change, the GPS time turning usable and unusable, a tick that moves
// nothing, hands that move together with the indicator.
constexpr Tick kTicks[] = {
    {"10:59:59", false, 1, 1}, {"11:00:00", false, 3, 3}, {"11:00:01", true, 1, 1},
    {"11:00:02", false, 1, 1}, {"11:00:02", false, 0, 0}, {"11:00:05", false, 1, 2},
    {"11:00:10", false, 2, 2}, {"11:01:00", true, 1, 1},  {"11:02:01", true, 3, 3},
};

struct Window {
    int skin;
    int32_t width;
    int32_t height;
};
constexpr Window kWindows[] = {
    {240, 240, 320}, {320, 320, 480}, {480, 480, 640}, {240, 239, 321}, {720, 721, 1283}};

TEST(Frames, PartialFramesLeaveThePictureOfAFullFrameAndRepaintEveryChange) {
    for (const Window& window : kWindows) {
        for (const Mode& mode : kModes) {
            SCOPED_TRACE(testing::Message() << "default_" << window.skin << " at " << window.width
                                            << "x" << window.height << ", " << mode.name);
            Face face(DefaultSkin(window.skin), mode, window.width, window.height);
            Face reference(DefaultSkin(window.skin), mode, window.width, window.height);
            DrawFullFrameAt(face, At("10:59:58"), false);

            QImage shown = face.Picture().copy();
            face.recorder.onInvalidate = [&](const QRegion& region) {
                const QImage now = face.Picture().copy();
                const QRegion outside = ChangedPixels(shown, now) - region;
                EXPECT_TRUE(outside.isEmpty())
                    << "changed but not repainted, first at (" << outside.boundingRect().x() << ", "
                    << outside.boundingRect().y() << ")";
                shown = now;
            };
            for (const Tick& tick : kTicks) {
                SCOPED_TRACE(tick.time);
                face.recorder.invalidations.clear();
                face.recorder.paintsNow = 0;
                ASSERT_TRUE(face.Show(At(tick.time), tick.gps));
                face.Partial();

                const int passes =
                    mode.smoothShapes ? tick.passesHalfDegree : tick.passesWholeDegree;
                EXPECT_EQ(int(face.recorder.invalidations.size()), passes);
                EXPECT_EQ(face.recorder.paintsNow, std::max(passes - 1, 0));
                EXPECT_EQ(face.clock->GpsIndicatorDrawn(), tick.gps);
                for (const HandState& hand : face.clock->Hands().hands)
                    EXPECT_EQ(hand.drawnAngle, hand.angle);

                DrawFullFrameAt(reference, At(tick.time), tick.gps);
                const QRegion wrong = ChangedPixels(reference.Picture(), face.Picture());
                EXPECT_TRUE(wrong.isEmpty())
                    << wrong.rectCount() << " rectangles differ from a full frame, within ("
                    << wrong.boundingRect().x() << ", " << wrong.boundingRect().y() << ", "
                    << wrong.boundingRect().width() << " x " << wrong.boundingRect().height()
                    << ")";
            }
        }
    }
}

// Skins at the edges of what the loader accepts draw full and partial frames in every mode and in
// odd windows without touching anything outside their surfaces.
TEST(Frames, SkinsAtTheLimitsDraw) {
    const test::IsolatedHome home;
    test::SkinFileLayout longHands;
    SkinParameters& p = longHands.parameters;
    p.keyColor = MakeColor(255, 0, 255);
    p.faceRect = p.hubRect = p.gpsIndicatorRect = {0, 0, 64, 48};
    p.hands[0].main = {MakeColor(10, 20, 30), 4096, 1024, 1024, -4096, kCapBase | kCapTip};
    p.hands[0].overlay = {MakeColor(40, 50, 60), -4096, 1024, 0, 4096, kCapTip};
    p.hands[0].shadowOffset = 1024;
    p.hands[1].main = {MakeColor(70, 80, 90), -4096, 0, 1024, 4096, kCapBase};
    p.hands[1].shadowOffset = -1024;
    p.hands[2].main = {MakeColor(200, 0, 0), 4096, 0, 1, 0, kCapTip};
    p.shadowAlpha = 255;
    p.hubShadowOffset = -1024;
    longHands.face = test::SolidPicture(64, 48, qRgb(90, 100, 110));
    test::SkinFileLayout farOffsets = longHands;
    farOffsets.parameters.hands[0].main = {MakeColor(10, 20, 30), 60, 3, 2, -10, 0};
    farOffsets.parameters.hands[1].main = {MakeColor(10, 20, 30), -80, 0, 2, 10, 0};
    farOffsets.parameters.hands[2].main = {MakeColor(10, 20, 30), 90, 1, 1, 0, 0};
    farOffsets.parameters.pivotOffsetX = -8192;
    farOffsets.parameters.pivotOffsetY = 8192;
    farOffsets.parameters.gpsIndicatorX = 8192;
    farOffsets.parameters.gpsIndicatorY = -8192;
    farOffsets.parameters.hubShadowOffset = 1024;
    test::SkinFileLayout nearOffsets = farOffsets;
    nearOffsets.parameters.pivotOffsetX = 40;
    nearOffsets.parameters.gpsIndicatorX = -60;

    const QSize windows[] = {{97, 1000}, {481, 239}};
    for (const test::SkinFileLayout* layout : {&longHands, &farOffsets, &nearOffsets}) {
        const QString path = home.Path() + "/limits.scs";
        ASSERT_TRUE(test::WriteAll(path, test::BuildSkinFile(*layout)));
        for (const QSize& window : windows) {
            for (const Mode& mode : kModes) {
                SCOPED_TRACE(testing::Message()
                             << window.width() << "x" << window.height() << ", " << mode.name);
                Face face(path, mode, window.width(), window.height());
                DrawFullFrameAt(face, At("10:59:58"), false);
                for (const Tick& tick : kTicks) {
                    ASSERT_TRUE(face.Show(At(tick.time), tick.gps));
                    face.Partial();
                }
                DrawFullFrameAt(face, At("03:40:07"), true);
            }
        }
    }
}

TEST(Frames, PendingAnglesMoveOnlyTheDeferredHands) {
    Face face(DefaultSkin(240), kModes[0], 240, 320);
    DrawFullFrameAt(face, At("10:00:00"), false);
    HandRenderer& renderer = face.clock->Hands();
    const double second = renderer.hands[2].angle;
    const QImage before = face.Picture().copy();
    face.recorder.invalidations.clear();

    // The minute hand alone: one pass; the second hand stays; nothing is left pending.
    face.clock->DrawPartialFrame(PendingAngles{kNoPendingAngle, 1.0}, face.gps);
    EXPECT_EQ(renderer.hands[1].drawnAngle, 1.0);
    EXPECT_EQ(renderer.hands[2].drawnAngle, second);
    ASSERT_EQ(face.recorder.invalidations.size(), 1u);
    EXPECT_EQ(face.recorder.paintsNow, 0);
    EXPECT_FALSE(ChangedPixels(before, face.Picture()).isEmpty());

    // Both pending: two passes, the minute hand first.
    face.clock->DrawPartialFrame(PendingAngles{2.0, 2.0}, face.gps);
    EXPECT_EQ(renderer.hands[0].drawnAngle, 2.0);
    EXPECT_EQ(renderer.hands[1].drawnAngle, 2.0);
    EXPECT_EQ(face.recorder.invalidations.size(), 3u);
    EXPECT_EQ(face.recorder.paintsNow, 1);
}

TEST(Frames, WorkSquareAndSurfacesFollowThePivot) {
    // At 96 dpi the default 240 skin's second hand reaches 98 + 1 and the margin adds 1; a shadow
    // offset of 5 makes the shadows reach 105. The dial is centred: the pivot is (120, 160).
    Face face(DefaultSkin(240), kModes[3], 240, 320);
    Skin& skin = face.clock->GetSkin();
    HandRenderer& renderer = face.clock->Hands();
    skin.hands[2].shadowOffset = 5;
    ReleaseHandRenderer(renderer);
    PrepareHandRenderer(skin, renderer, true);
    ASSERT_EQ(renderer.handReach, 100);
    ASSERT_EQ(renderer.shadowReach, 105);
    face.clock->RebuildBackBuffer(face.gps);

    EXPECT_EQ(renderer.workRect, (Rect{20, 60, 225, 265}));
    EXPECT_EQ(renderer.supersampleSurface.width, 410);
    EXPECT_EQ(renderer.supersampleSurface.height, 410);
    EXPECT_EQ(face.clock->BackBuffer().bitmap.format(), QImage::Format_RGB555);
    EXPECT_NE(face.clock->BackBuffer().pixels, nullptr);
    // A hand with its base on the pivot: the surface pivot is (200, 200).
    skin.hands[1].main.baseDistance = 0;
    face.clock->DrawFullFrame(face.gps);
    EXPECT_EQ(renderer.hands[1].mainGeometry.surfaceBaseCenter, (Point{200, 200}));
}

TEST(Frames, ResizeRecreatesTheBackBufferOnlyForANewSize) {
    Face face(DefaultSkin(240), kModes[1], 240, 320);
    const uchar* bits = face.Picture().constBits();
    face.recorder.invalidations.clear();

    face.clock->ResizeBackBuffer(240, 320, face.gps);
    EXPECT_EQ(face.Picture().constBits(), bits);
    EXPECT_TRUE(face.recorder.invalidations.empty());

    for (const auto& [width, height] : {std::pair{240, 321}, std::pair{241, 321}}) {
        face.clock->ResizeBackBuffer(width, height, face.gps);
        EXPECT_EQ(face.Picture().size(), QSize(width, height));
        ASSERT_FALSE(face.recorder.invalidations.empty());
        EXPECT_EQ(face.recorder.invalidations.back(), QRegion(0, 0, width, height));
    }
}

TEST(Frames, TheBackBufferFormatFollowsTheModeOnRebuild) {
    Face face(DefaultSkin(320), kModes[0], 320, 480);
    EXPECT_EQ(face.Picture().format(), QImage::Format_RGB32);
    EXPECT_EQ(face.clock->BackBuffer().pixels, nullptr);

    // Smooth shapes switched on: the skin is loaded again, then the back buffer rebuilt.
    ASSERT_TRUE(face.clock->LoadSkin(DefaultSkin(320), {true, false, false}));
    face.clock->RebuildBackBuffer(face.gps);
    EXPECT_EQ(face.Picture().format(), QImage::Format_RGB555);
    Face smooth(DefaultSkin(320), kModes[1], 320, 480);
    EXPECT_EQ(face.Picture(), smooth.Picture());
}

TEST(Frames, AShadowOpacityWithZeroLowBitsChangesNothing) {
    for (const bool smoothShapes : {false, true}) {
        SCOPED_TRACE(smoothShapes ? "smooth" : "plain");
        Face withShadow(DefaultSkin(240), {"shadow", smoothShapes, true}, 240, 320);
        Face without(DefaultSkin(240), {"none", smoothShapes, false}, 240, 320);
        withShadow.clock->GetSkin().shadowAlpha = 256;
        DrawFullFrameAt(withShadow, At("04:37:21"), false);
        DrawFullFrameAt(without, At("04:37:21"), false);
        EXPECT_NE(withShadow.clock->Hands().shadowSurface.pixels, nullptr);
        EXPECT_EQ(withShadow.Picture(), without.Picture());
    }
}

TEST(Frames, TheWidgetShowsTheBackBufferAndForcedPaintsReachIt) {
    Face face(DefaultSkin(240), kModes[3], 240, 320);
    ClockFaceWidget widget(*face.clock);
    widget.resize(240, 320);
    face.clock->Paint().widget = &widget;
    DrawFullFrameAt(face, At("08:15:30"), false);
    ASSERT_TRUE(face.Show(At("08:16:00"), false));
    face.Partial(); // three passes, two of them painted at once
    EXPECT_EQ(face.recorder.paintsNow, 2);
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, face.Picture().convertToFormat(QImage::Format_RGB32));
}

// The background gradient of a large screen shows no bands: down a 16-pixel strip beside the dial,
// the average luminance of each block of 4 rows differs from the next by at most 1.5 levels.
TEST(Frames, TheBackgroundGradientOfALargeScreenHasNoBands) {
    constexpr int32_t kStripLeft = 16;
    constexpr int32_t kStripWidth = 16;
    constexpr int32_t kBlockRows = 4;
    Face face(DefaultSkin(1080), kModes[3], 1080, 1920);
    DrawFullFrameAt(face, At("10:09:34"), true);
    ASSERT_GT(face.clock->Layout().dialScreenRect.left, kStripLeft + kStripWidth);
    const QImage& picture = face.Picture();
    double previous = 0;
    for (int32_t top = 0; top + kBlockRows <= picture.height(); top += kBlockRows) {
        double sum = 0;
        for (int32_t y = top; y < top + kBlockRows; ++y)
            for (int32_t x = kStripLeft; x < kStripLeft + kStripWidth; ++x) {
                const QRgb pixel = picture.pixel(x, y);
                sum += 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
            }
        const double average = sum / (kBlockRows * kStripWidth);
        if (top > 0) {
            ASSERT_LE(std::abs(average - previous), 1.5) << "rows " << top << " to " << top + 3;
        }
        previous = average;
    }
}

TEST(Frames, RenderWritesFiveBitChannelsAsEightBits) {
    QImage backBuffer(2, 1, QImage::Format_RGB555);
    auto* pixels = reinterpret_cast<uint16_t*>(backBuffer.scanLine(0));
    pixels[0] = 0x7FFF;                          // 31, 31, 31
    pixels[1] = uint16_t(1 << 10 | 16 << 5 | 0); // 1, 16, 0
    const QImage rgb = BackBufferToRgb888(backBuffer);
    ASSERT_EQ(rgb.format(), QImage::Format_RGB888);
    EXPECT_EQ(rgb.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(rgb.pixel(1, 0), qRgb(8, 132, 0));
}

TEST(Frames, RenderToolExitCodes) {
    QTemporaryDir folder;
    const QString out = folder.filePath("face.png");
    const QString skin = DefaultSkin(240);
    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{skin, "--size", "241x321", "--time", "10:00:00.500", "--smooth-shapes", "--shadow",
          "--gps", "--then", "10:00:01", "--out", out},
         0},
        {{skin, "--size", "240x320", "--out", out}, 2},                       // no time
        {{skin, "--size", "240x320", "--time", "10:61:00", "--out", out}, 2}, // no such time
        {{folder.filePath("missing.scs"), "--size", "240x320", "--time", "10:00:00", "--out", out},
         1},
        {{skin, "--size", "240x320", "--time", "10:00:00", "--out", folder.filePath("no/x.png")},
         1},
    };
    for (const auto& c : cases) {
        QProcess tool;
        tool.start(QStringLiteral(MV_BIN_DIR "/marovellastrine-skin"),
                   QStringList{"render"} + c.args);
        ASSERT_TRUE(tool.waitForFinished(30000));
        EXPECT_EQ(tool.exitCode(), c.exitCode) << c.args.join(' ').toStdString();
    }
    EXPECT_EQ(QImageReader(out).size(), QSize(241, 321));
    // The PNG header: bit depth 8, colour type 2 (RGB, no alpha).
    const QByteArray png = test::ReadAll(out);
    ASSERT_GE(png.size(), 26);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
}

} // namespace
} // namespace mv
