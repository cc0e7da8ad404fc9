// Full and partial frames of the clock face: a run of partial frames leaves exactly the picture
// that one full frame draws, every pixel a pass changes is repainted, and passes are split as the
// hands move.
#include "clock/face_renderer.h"
#include "face_fixture.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

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

TEST(Frames, ResizeRecreatesTheBackBufferOnlyForANewSize) {
    Face face(DefaultSkin(240), kModes[1], 240, 320);
    const uchar* bits = face.Picture().constBits();
    face.recorder.invalidations.clear();
    face.clock->ResizeBackBuffer(240, 320, face.gps);
    EXPECT_EQ(face.Picture().constBits(), bits);
    EXPECT_TRUE(face.recorder.invalidations.empty());
    face.clock->ResizeBackBuffer(241, 321, face.gps);
    EXPECT_EQ(face.Picture().size(), QSize(241, 321));
    ASSERT_FALSE(face.recorder.invalidations.empty());
    EXPECT_EQ(face.recorder.invalidations.back(), QRegion(0, 0, 241, 321));
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

// The background gradient of a large screen shows no bands: down a 16-pixel strip left of the
// dial, the average luminance of each block of 4 rows differs from the next by at most 1.5 levels.
TEST(Frames, TheBackgroundGradientOfALargeScreenHasNoBands) {
    Face face(DefaultSkin(1080), kModes[3], 1080, 1920);
    DrawFullFrameAt(face, At("10:09:34"), true);
    ASSERT_GT(face.clock->Layout().dialScreenRect.left, 32);
    double previous = -1;
    for (int32_t top = 0; top + 4 <= face.Picture().height(); top += 4) {
        double sum = 0;
        for (int32_t y = top; y < top + 4; ++y)
            for (int32_t x = 16; x < 32; ++x) {
                const QRgb pixel = face.Picture().pixel(x, y);
                sum += 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
            }
        ASSERT_TRUE(previous < 0 || std::abs(sum / 64 - previous) <= 1.5) << "rows from " << top;
        previous = sum / 64;
    }
}

} // namespace
} // namespace mv
