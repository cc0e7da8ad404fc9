// The drawing layer: fills, copies, the 2 x 2 enlargement, the constant-opacity blend and the
// background built from them; filling the hands and the 2 x 2 averaging into the back buffer.
#include "clock/face_background.h"
#include "clock/hand_geometry.h"
#include "clock/hand_raster.h"
#include "platform/dither555.h"
#include "platform/draw_blend.h"
#include "platform/draw_copy.h"
#include "platform/draw_fill.h"
#include "platform/draw_scale.h"
#include "platform/draw_shapes.h"
#include "platform/pixel_format.h"
#include "skin/skin_loader.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>

namespace mv {
namespace {

constexpr QImage::Format kTargetFormats[] = {QImage::Format_RGB555, QImage::Format_RGB32};

QImage Noise(int width, int height, QImage::Format format, uint32_t seed) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random() | 0xFF000000u);
    return image.convertToFormat(format);
}

// Every pixel of `image` is expected(x, y).
void ExpectPixels(const QImage& image, const std::function<QRgb(int, int)>& expected) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y), expected(x, y)) << x << "," << y;
}

QRgb StoredColor(uint32_t color, QImage::Format format) {
    QImage pixel(1, 1, format);
    pixel.fill(QColor::fromRgb(RgbOfColor(color)));
    return pixel.pixel(0, 0);
}

// Whether the pixel centre (x + 0.5, y + 0.5) lies inside the polygon by the even-odd rule:
// the row of centres crosses each edge that spans it at a point, and the centre is inside when an
// odd number of those points lie at or left of it.
bool CentreInside(const std::array<Point, 4>& corners, int x, int y) {
    const double centreY = y + 0.5;
    int crossingsLeft = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        const Point& a = corners[i];
        const Point& b = corners[(i + 1) % corners.size()];
        if ((a.y < centreY) == (b.y < centreY))
            continue;
        const double crossing = a.x + (centreY - a.y) * double(b.x - a.x) / double(b.y - a.y);
        if (crossing <= x + 0.5)
            ++crossingsLeft;
    }
    return crossingsLeft % 2 == 1;
}

TEST(Drawing, PolygonsFillExactlyTheCentresInside) {
    // Slanted, thin, self-crossing and partly outside the target, as hands at any angle are.
    const uint32_t color = MakeColor(0x87, 0x4F, 0xFF);
    std::mt19937 random(18);
    std::uniform_int_distribution<int> coordinate(-12, 75);
    for (QImage::Format format : kTargetFormats) {
        const QRgb stored = StoredColor(color, format);
        for (int i = 0; i < 60; ++i) {
            std::array<Point, 4> corners;
            for (Point& corner : corners)
                corner = {coordinate(random), coordinate(random)};
            if (i % 3 == 0)
                corners[2] = {corners[1].x + 1, corners[1].y + 40}; // a steep edge
            QImage image(64, 64, format);
            image.fill(Qt::white);
            FillPolygon(image, corners, color, nullptr);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    ASSERT_EQ(image.pixel(x, y) == stored, CentreInside(corners, x, y))
                        << "polygon " << i << " at " << x << "," << y;
        }
    }
}

TEST(Drawing, EveryOperationStaysInsideTheClip) {
    const QRegion clip = QRegion(3, 4, 12, 9) + QRegion(20, 18, 15, 30);
    const QImage picture = Noise(64, 64, QImage::Format_RGB555, 7);
    const QImage keyed = Noise(64, 64, QImage::Format_ARGB32_Premultiplied, 8);
    const Rect all{0, 0, 64, 64};
    const std::array<Point, 4> quad{{{-5, 2}, {50, 0}, {60, 45}, {1, 58}}};
    const Rect tall{0, 0, 50, 64}, beyond{-10, -10, 100, 100}, corner{0, 0, 40, 40};
    using Clip = const QRegion*;
    const Point origin{0, 0}, left{-3, 0};
    const std::function<void(QImage&, Clip)> operations[] = {
        [&](QImage& t, Clip c) { FillPolygon(t, quad, 1, c); },
        [&](QImage& t, Clip c) { FillEllipse(t, tall, 0x123456, c); },
        [&](QImage& t, Clip c) { FillRectangle(t, beyond, 0x123456, c); },
        [&](QImage& t, Clip c) { FillVerticalGradient(t, all, 0x0000FF, 0xFF0000, c); },
        [&](QImage& t, Clip c) { CopyPixels(t, origin, picture, all, c); },
        [&](QImage& t, Clip c) { CopyKeyed(t, origin, keyed, all, c); },
        [&](QImage& t, Clip c) { ScaleCopy2x(t, left, picture, corner, c); },
        [&](QImage& t, Clip c) { BlendConstantAlpha(t, origin, picture, all, 100, c); },
    };
    for (QImage::Format format : kTargetFormats) {
        const QImage before = Noise(50, 60, format, 9);
        for (size_t i = 0; i < std::size(operations); ++i) {
            SCOPED_TRACE(testing::Message() << "operation " << i);
            QImage unclipped = before.copy(), clipped = before.copy();
            operations[i](unclipped, nullptr);
            operations[i](clipped, &clip);
            EXPECT_NE(clipped, before);
            ExpectPixels(clipped, [&](int x, int y) {
                return (clip.contains(QPoint(x, y)) ? unclipped : before).pixel(x, y);
            });
        }
    }
}

// A source rectangle and a destination at opposite ends of the 32-bit range put the copy far off
// the target: nothing is drawn, and nothing is read outside the source.
TEST(Drawing, CopiesFromTheEndsOfTheCoordinateRangeTouchNothing) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const QImage picture = Noise(8, 8, QImage::Format_RGB555, 3);
    const QImage keyed = Noise(8, 8, QImage::Format_ARGB32_Premultiplied, 4);
    const KeyedPicture555 keyed555 = MakeKeyedPicture555(keyed);
    const struct {
        Point destination;
        Rect sourceRect;
    } cases[] = {
        {{kMax, 0}, {-(1 << 30), 0, 4, 4}},   // doubled, the distance wraps round to -1
        {{kMax - 1, kMax - 1}, {0, 0, 8, 8}}, // the far edges wrap round
        {{10, 10}, {kMin, kMin, kMax, kMax}},
    };
    for (QImage::Format format : kTargetFormats) {
        for (const auto& c : cases) {
            const QImage before = Noise(40, 40, format, 5);
            QImage target = before.copy();
            ScaleCopy2x(target, c.destination, picture, c.sourceRect, nullptr);
            CopyPixels(target, c.destination, picture, c.sourceRect, nullptr);
            CopyKeyed(target, c.destination, keyed, c.sourceRect, nullptr);
            CopyKeyed(target, c.destination, keyed555, c.sourceRect, nullptr);
            BlendConstantAlpha(target, c.destination, picture, c.sourceRect, 100, nullptr);
            DarkenUnderShadow555(target, c.destination, picture, c.sourceRect, 100, nullptr);
            EXPECT_EQ(target, before) << c.destination.x << " " << c.sourceRect.left;
        }
    }
}

// The keyed copy leaves the key pixels and copies the rest exactly; for colours that 5-5-5 holds
// exactly, the copy from the prepared 16-bit picture draws what the keyed picture draws.
TEST(Drawing, KeyedCopiesLeaveKeyPixelsAndCopyTheRestExactly) {
    // Runs of key pixels of every length and phase, so that groups of pixels are all key, all
    // opaque, or mixed.
    const uint32_t key = MakeColor(0, 255, 0);
    SkinImage face;
    face.bitmap = Noise(45, 21, QImage::Format_RGB555, 13).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 21; ++y)
        for (int x = y % 5; x < 45; x += 3 + y % 7)
            for (int run = 0; run <= y % 9 && x + run < 45; ++run)
                face.bitmap.setPixel(x + run, y, RgbOfColor(key));
    PrepareSkinImage(face);
    PrepareKeyedImage(face, key);
    ASSERT_EQ(face.keyed555.pixels.size(), size_t(45 * 21));

    for (QImage::Format format : kTargetFormats) {
        const QImage before = Noise(50, 40, format, 4);
        QImage target = before.copy();
        CopyKeyed(target, {7, 9}, face.keyed, {2, 1, 44, 19}, nullptr);
        const QImage expected = face.dc.convertToFormat(format);
        ExpectPixels(target, [&](int x, int y) {
            const int sx = x - 5, sy = y - 8;
            const bool copied = sx >= 2 && sx < 44 && sy >= 1 && sy < 19 &&
                                face.dc.pixel(sx, sy) != RgbOfColor(key);
            return copied ? expected.pixel(sx, sy) : before.pixel(x, y);
        });
    }

    const QRegion clip = QRegion(0, 0, 17, 40) + QRegion(20, 5, 11, 9);
    const struct {
        Point destination;
        Rect sourceRect;
        const QRegion* clip;
    } cases[] = {
        {{-5, -3}, {2, 0, 40, 21}, nullptr}, // cut by the target's left and top
        {{30, 25}, {0, 0, 45, 21}, nullptr}, // cut by the target's right and bottom
        {{4, 6}, {-3, -2, 50, 30}, nullptr}, // a source rectangle larger than the picture
        {{1, 1}, {0, 0, 45, 21}, &clip},
    };
    const QImage before = Noise(53, 41, QImage::Format_RGB555, 14);
    for (const auto& c : cases) {
        QImage expected = before.copy();
        CopyKeyed(expected, c.destination, face.keyed, c.sourceRect, c.clip);
        QImage target = before.copy();
        CopyKeyed(target, c.destination, face.keyed555, c.sourceRect, c.clip);
        ASSERT_EQ(target, expected) << c.destination.x << "," << c.destination.y;
    }
}

TEST(Drawing, ScaleCopyMakesEachSourcePixelATwoByTwoBlock) {
    const QImage source = Noise(9, 7, QImage::Format_RGB555, 5);
    for (QImage::Format format : kTargetFormats) {
        const QImage before = Noise(20, 16, format, 6);
        QImage target = before.copy();
        // The copy starts one pixel left of the target and ends one row above its bottom.
        ScaleCopy2x(target, {-1, 3}, source, {2, 1, 9, 7}, nullptr);
        const QImage expected = source.convertToFormat(format);
        ExpectPixels(target, [&](int x, int y) {
            const bool inside = x < 13 && y >= 3 && y < 15;
            return inside ? expected.pixel(2 + (x + 1) / 2, 1 + (y - 3) / 2) : before.pixel(x, y);
        });
    }
}

uint16_t Pixel555(int red, int green, int blue) {
    return uint16_t(red << 10 | green << 5 | blue);
}

TEST(Drawing, BlendOfSixteenBitPicturesFollowsTheChannelFormulaEverywhere) {
    // Rows long enough for groups of pixels and a remainder; the source equals the target in
    // runs, as a copy with shadows filled into it does, and some target pixels have bit 15 set.
    const int width = 37, height = 12;
    const QImage target0 = Noise(width, height, QImage::Format_RGB555, 16);
    QImage source = Noise(width, height, QImage::Format_RGB555, 17);
    QImage target = target0.copy();
    for (int y = 0; y < height; ++y) {
        auto* in = reinterpret_cast<uint16_t*>(source.scanLine(y));
        auto* out = reinterpret_cast<uint16_t*>(target.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if ((x / (1 + y % 5)) % 3 == 0)
                in[x] = out[x] & 0x7FFF;
            if ((x + y) % 29 == 0)
                out[x] |= 0x8000;
        }
    }
    const auto mix = [](int s, int t, int alpha) { return (s * alpha + t * (255 - alpha)) / 255; };
    for (int alpha : {0, 1, 64, 96, 128, 200, 254, 255}) {
        QImage blended = target.copy();
        BlendConstantAlpha(blended, {0, 0}, source, {0, 0, width, height}, uint8_t(alpha), nullptr);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint16_t s = reinterpret_cast<const uint16_t*>(source.constScanLine(y))[x];
                const uint16_t t = reinterpret_cast<const uint16_t*>(target.constScanLine(y))[x];
                uint16_t expected = t;
                if (alpha > 0 && s != (t & 0x7FFF)) // opacity 0 leaves every bit
                    expected =
                        Pixel555(mix(s >> 10 & 31, t >> 10 & 31, alpha),
                                 mix(s >> 5 & 31, t >> 5 & 31, alpha), mix(s & 31, t & 31, alpha));
                ASSERT_EQ(reinterpret_cast<const uint16_t*>(blended.constScanLine(y))[x], expected)
                    << x << "," << y << " alpha " << alpha;
            }
    }
}

// The cleared-shadow path must give exactly what copying the picture into the shadow surface,
// filling black and blending back gives: under the shadows, beside them, across odd widths and
// a clip, at every opacity the skins use.
TEST(Drawing, DarkeningUnderAClearedShadowEqualsBlendingACopy) {
    const QImage picture = Noise(37, 21, QImage::Format_RGB555, 5);
    const QRegion clip = QRegion(2, 1, 30, 18).subtracted(QRegion(10, 5, 6, 6));
    const std::array<Point, 4> quad{{{3, 2}, {30, 6}, {27, 15}, {5, 19}}};
    for (const int alpha : {1, 77, 128, 254, 255}) {
        QImage expected = picture.copy();
        QImage shadow(37, 21, QImage::Format_RGB555);
        CopyPixels(shadow, {0, 0}, expected, {0, 0, 37, 21}, nullptr);
        FillPolygon(shadow, quad, 0x000000, nullptr);
        FillEllipse(shadow, {20, 2, 33, 15}, 0x000000, nullptr);
        BlendConstantAlpha(expected, {0, 0}, shadow, {0, 0, 37, 21}, uint8_t(alpha), &clip);

        QImage actual = picture.copy();
        QImage cleared(37, 21, QImage::Format_RGB555);
        ClearShadow555(cleared, {0, 0, 37, 21}, &clip);
        FillPolygon(cleared, quad, 0x000000, &clip);
        FillEllipse(cleared, {20, 2, 33, 15}, 0x000000, &clip);
        DarkenUnderShadow555(actual, {0, 0}, cleared, {0, 0, 37, 21}, uint8_t(alpha), &clip);
        EXPECT_EQ(actual, expected) << "opacity " << alpha;
    }
}

TEST(Drawing, BackgroundTilesThePictureFromTheTopLeft) {
    Skin skin;
    skin.backgroundTopColor = 0x0000FF; // the picture wins over the colours
    skin.backgroundImage.bitmap = Noise(100, 60, QImage::Format_RGB32, 12);
    PrepareSkinImage(skin.backgroundImage);
    PrepareDitheredImage(skin.backgroundImage);
    for (QImage::Format format : kTargetFormats) {
        DrawSurface backBuffer;
        backBuffer.width = 240;
        backBuffer.height = 320;
        backBuffer.bitmap = QImage(240, 320, format);
        DrawBackground(skin, backBuffer);
        const QImage expected =
            format == QImage::Format_RGB555 ? skin.backgroundImage.dc555 : skin.backgroundImage.dc;
        ExpectPixels(backBuffer.bitmap,
                     [&](int x, int y) { return expected.pixel(x % 100, y % 60); });
    }
}

// Over the 4 x 4 pattern every 8-bit channel value comes out on average within half a level of
// itself; a colour that 5-5-5 holds exactly, such as a key colour, is that pixel everywhere.
TEST(Drawing, DitheringFollowsTheColourAndKeepsExactColours) {
    for (uint32_t value = 0; value < 256; ++value) {
        double sum = 0;
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 4; ++x)
                sum += Expand5To8(Dither555(qRgb(0, 0, int(value)), x + 8, y + 12) & 31);
        EXPECT_NEAR(sum / 16, value, 0.5) << value;
    }
    for (const QRgb exact : {qRgb(255, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 0), qRgb(255, 255, 255),
                             Rgb555Pixels::ToRgb(0x1234)})
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 4; ++x)
                EXPECT_EQ(Dither555(exact, x, y), Rgb555Pixels::FromRgb(exact)) << x << "," << y;
}

DrawSurface Surface16(int32_t width, int32_t height, uint16_t fill) {
    DrawSurface surface;
    CreateDrawSurface(width, height, 16, surface);
    EXPECT_EQ(surface.bitmap.bytesPerLine(), SurfaceStride(width));
    surface.bitmap.fill(fill);
    return surface;
}

uint16_t& PixelAt(DrawSurface& surface, int32_t x, int32_t y) {
    return reinterpret_cast<uint16_t*>(surface.bitmap.scanLine(y))[x];
}

// Every pixel of the dirty rectangle within the work square and the back buffer gets the average
// of its 2 x 2 block, each channel rounded down; nothing else changes, not even the padding of an
// odd-width row. Dirty rectangles of every width and phase cover groups, pairs and single blocks.
TEST(HandRaster, DownsampleAveragesExactlyTheDirtyBlocks) {
    HandRenderer renderer;
    renderer.handReach = 10;
    renderer.shadowReach = 10;
    SetPivot(renderer, 12, 11); // the work square runs from (2, 1) to (22, 21)
    renderer.supersampleSurface = Surface16(40, 40, 0);
    std::mt19937 random(21);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            PixelAt(renderer.supersampleSurface, x, y) = uint16_t(random() & 0x7FFF);
    const auto average = [&](int32_t x, int32_t y) {
        const int32_t u = 2 * (x - renderer.workRect.left);
        const int32_t v = 2 * (y - renderer.workRect.top);
        int sums[3] = {};
        for (const auto& [du, dv] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}})
            for (int c = 0; c < 3; ++c)
                sums[c] += PixelAt(renderer.supersampleSurface, u + du, v + dv) >> (5 * c) & 31;
        return Pixel555(sums[2] / 4, sums[1] / 4, sums[0] / 4);
    };
    const uint16_t sentinel = Pixel555(1, 2, 3);
    for (const int32_t height : {24, 5}) // the second cuts the dirty rectangle at its bottom
        for (int32_t left = 0; left < 6; ++left)
            for (int32_t width = 1; width <= 13; ++width) {
                DrawSurface backBuffer = Surface16(25, height, sentinel);
                for (int32_t y = 0; y < height; ++y)
                    PixelAt(backBuffer, 25, y) = 0xABCD;
                const Rect dirty{left, 3, left + width, 7};
                Downsample2x2(renderer, backBuffer, dirty);
                for (int32_t y = 0; y < height; ++y)
                    for (int32_t x = 0; x <= 25; ++x) {
                        const bool touched = x >= std::max(dirty.left, 2) && x < dirty.right &&
                                             x < 25 && y >= dirty.top && y < dirty.bottom;
                        const uint16_t expected =
                            touched ? average(x, y) : (x == 25 ? 0xABCD : sentinel);
                        ASSERT_EQ(PixelAt(backBuffer, x, y), expected)
                            << x << "," << y << " width " << width << " height " << height;
                    }
            }
}

// A hand filled in black into a white 300 x 300 back buffer in window coordinates.
QImage FillHand(const HandShape& shape, double angle) {
    HandStyle style{};
    style.main = shape;
    HandState state;
    state.angle = angle;
    ComputeHandGeometry(style, state, {150, 150}, std::nullopt, 1, 0);
    DrawSurface backBuffer;
    backBuffer.bitmap = QImage(300, 300, QImage::Format_RGB32);
    backBuffer.bitmap.fill(Qt::white);
    DrawShape(shape, state.mainGeometry, backBuffer, ShapeCoordinates::Window, 1, 0, 0x000000);
    return backBuffer.bitmap;
}

TEST(HandRaster, OnlyHalfWidthsAboveOneGetDiscs) {
    const HandShape thin{0, 80, 1, 1, -10, 0};
    for (uint32_t caps : {kCapBase, kCapTip, kCapBase | kCapTip}) {
        HandShape capped = thin;
        capped.capFlags = caps;
        EXPECT_EQ(FillHand(capped, 0.7), FillHand(thin, 0.7));
    }
    const HandShape wide{0, 80, 2, 2, -10, 0};
    HandShape wideCapped = wide;
    wideCapped.capFlags = kCapTip;
    EXPECT_NE(FillHand(wideCapped, 0.7), FillHand(wide, 0.7));
}

// Smooth shadow mode about the pivot (60, 60): an hour hand with an overlay and shadow offset 0,
// a minute hand with only an overlay (never drawn), a second hand with shadow offset 3.
TEST(HandRaster, PassesFillBodiesOverlaysAndShadows) {
    Skin skin;
    skin.hands[0].main = {0x0000FF, 30, 3, 2, 0, kCapBase};
    skin.hands[0].overlay = skin.hands[1].overlay = {0x00FF00, 20, 1, 1, 5, 0};
    skin.hands[2].main = {0xFF0000, 40, 1, 1, -5, 0};
    skin.hands[2].shadowOffset = 3;
    skin.hubRect = {0, 0, 8, 6};
    HandRenderer renderer;
    renderer.handReach = 45;
    renderer.shadowReach = 48;
    SetPivot(renderer, 60, 60);
    renderer.supersampleSurface = Surface16(186, 186, 0x7FFF);
    renderer.shadowSurface = Surface16(186, 186, 0x7FFF);
    renderer.hands[0].angle = 1.0;
    renderer.hands[1].drawnAngle = 0.5;
    renderer.hands[2].angle = 3.0;
    ComputeAllHands(skin, renderer);
    const auto middleOf = [&](DrawSurface& surface, size_t k, int32_t offset) {
        const ShapeGeometry& g = renderer.hands[k].mainGeometry;
        return PixelAt(surface, (g.surfaceTipCenter.x + g.surfaceBaseCenter.x) / 2 + offset,
                       (g.surfaceTipCenter.y + g.surfaceBaseCenter.y) / 2 + offset);
    };

    DrawSurface& shadow = renderer.shadowSurface;
    DrawHandsPass(skin, renderer, shadow, 2, HandPass::Shadow, 0);
    for (int32_t y = 0; y < shadow.height; ++y)
        for (int32_t x = 0; x < shadow.width; ++x)
            ASSERT_TRUE(PixelAt(shadow, x, y) == 0 || PixelAt(shadow, x, y) == 0x7FFF);
    EXPECT_EQ(middleOf(shadow, 0, 0), 0); // shadow offset 0 still fills
    EXPECT_EQ(middleOf(shadow, 2, 6), 0);
    for (const HandState& hand : renderer.hands)
        EXPECT_EQ(hand.drawnAngle, hand.angle);
    // The hub's shadow: a 16 x 12 ellipse around the surface pivot moved by (5, 5) x 2.
    EXPECT_EQ(PixelAt(shadow, 107, 100), 0x7FFF);
    DrawHandsPass(skin, renderer, shadow, 2, HandPass::Shadow, 5);
    EXPECT_EQ(PixelAt(shadow, 107, 100), 0);
    EXPECT_EQ(PixelAt(shadow, 109, 100), 0x7FFF);

    DrawSurface& hands = renderer.supersampleSurface;
    DrawHandsPass(skin, renderer, hands, 2, HandPass::Hands, 0);
    EXPECT_EQ(middleOf(hands, 2, 0), Pixel555(0, 0, 31));
    // The overlay covers the hour hand from 5 to 20 (x 2) along its axis, the body beyond.
    Point onOverlay{90, 90};
    OffsetAlongAngle(2 * 12, 1.0, onOverlay);
    EXPECT_EQ(PixelAt(hands, onOverlay.x, onOverlay.y), Pixel555(0, 31, 0));
    Point onBody{90, 90};
    OffsetAlongAngle(2 * 25, 1.0, onBody);
    EXPECT_EQ(PixelAt(hands, onBody.x, onBody.y), Pixel555(31, 0, 0));
}

} // namespace
} // namespace mv
