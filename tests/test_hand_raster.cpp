// Filling the hands and the 2 x 2 averaging into the back buffer.
#include "clock/hand_geometry.h"
#include "clock/hand_raster.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace mv {
namespace {

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

uint16_t Pixel555(int red, int green, int blue) {
    return uint16_t(red << 10 | green << 5 | blue);
}

TEST(HandRaster, DownsampleAveragesEachChannelRoundingDown) {
    const uint16_t white = Pixel555(31, 31, 31);
    const struct {
        uint16_t a, b, c, d, expected;
    } cases[] = {
        {white, white, white, white, white},
        {white, white, 0, 0, Pixel555(15, 15, 15)},
        {white, 0, white, 0, Pixel555(15, 15, 15)},
        {Pixel555(31, 0, 3), Pixel555(0, 31, 2), Pixel555(1, 1, 2), Pixel555(2, 0, 2),
         Pixel555(8, 8, 2)},
    };
    for (const auto& c : cases) {
        HandRenderer renderer;
        renderer.workRect = {0, 0, 1, 1};
        DrawSurface& supersample = renderer.supersampleSurface = Surface16(2, 2, 0);
        PixelAt(supersample, 0, 0) = c.a;
        PixelAt(supersample, 1, 0) = c.b;
        PixelAt(supersample, 0, 1) = c.c;
        PixelAt(supersample, 1, 1) = c.d;
        DrawSurface backBuffer = Surface16(1, 1, 0x7FFF);
        Downsample2x2(renderer, backBuffer, {0, 0, 1, 1});
        EXPECT_EQ(PixelAt(backBuffer, 0, 0), c.expected);
    }
}

TEST(HandRaster, DownsampleTouchesExactlyTheDirtyPixelsOfOddWidthBackBuffers) {
    EXPECT_EQ(SurfaceStride(3), 8);
    EXPECT_EQ(SurfaceStride(4), 8);
    EXPECT_EQ(SurfaceStride(5), 12);
    // Work square from (2, 1) to (7, 6): supersample 10 x 10, each pixel holding its position.
    HandRenderer renderer;
    renderer.handReach = 2;
    renderer.shadowReach = 3;
    SetPivot(renderer, 4, 3);
    renderer.supersampleSurface = Surface16(10, 10, 0);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            PixelAt(renderer.supersampleSurface, x, y) = Pixel555(x, y, 31);

    for (int32_t width : {5, 7}) {
        const uint16_t sentinel = Pixel555(1, 2, 3);
        DrawSurface backBuffer = Surface16(width, 5, sentinel);
        for (int32_t y = 0; y < 5; ++y)
            PixelAt(backBuffer, width, y) = 0xABCD; // the row's padding must survive too
        // Cut by workRect at the left and by the back buffer at the bottom.
        Downsample2x2(renderer, backBuffer, {0, 2, 5, 9});
        for (int32_t y = 0; y < 5; ++y) {
            EXPECT_EQ(PixelAt(backBuffer, width, y), 0xABCD);
            for (int32_t x = 0; x < width; ++x) {
                const bool touched = x >= 2 && x < 5 && y >= 2;
                const uint16_t average = Pixel555(2 * (x - 2), 2 * (y - 1), 31);
                EXPECT_EQ(PixelAt(backBuffer, x, y), touched ? average : sentinel) << x << "," << y;
            }
        }
    }
}

TEST(HandRaster, DownsampleOfWideRowsAveragesEveryBlock) {
    // Dirty rectangles of every width from 1 to 13 and every phase, so that rows are averaged in
    // groups of blocks, pairs and single blocks.
    HandRenderer renderer;
    renderer.handReach = 10;
    renderer.shadowReach = 10;
    SetPivot(renderer, 12, 11);
    renderer.supersampleSurface = Surface16(40, 40, 0);
    std::mt19937 random(21);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            PixelAt(renderer.supersampleSurface, x, y) = uint16_t(random() & 0x7FFF);
    const auto average = [&](int32_t x, int32_t y) {
        const int32_t u = 2 * (x - renderer.workRect.left);
        const int32_t v = 2 * (y - renderer.workRect.top);
        const uint16_t block[] = {
            PixelAt(renderer.supersampleSurface, u, v),
            PixelAt(renderer.supersampleSurface, u + 1, v),
            PixelAt(renderer.supersampleSurface, u, v + 1),
            PixelAt(renderer.supersampleSurface, u + 1, v + 1),
        };
        int sums[3] = {};
        for (const uint16_t pixel : block)
            for (int c = 0; c < 3; ++c)
                sums[c] += pixel >> (5 * c) & 31;
        return uint16_t((sums[2] / 4) << 10 | (sums[1] / 4) << 5 | sums[0] / 4);
    };
    for (int32_t left = 2; left < 6; ++left)
        for (int32_t width = 1; width <= 13; ++width) {
            const uint16_t sentinel = Pixel555(1, 2, 3);
            DrawSurface backBuffer = Surface16(25, 24, sentinel);
            const Rect dirty{left, 3, left + width, 7};
            Downsample2x2(renderer, backBuffer, dirty);
            for (int32_t y = 0; y < 24; ++y)
                for (int32_t x = 0; x < 25; ++x) {
                    const bool touched =
                        x >= dirty.left && x < dirty.right && y >= dirty.top && y < dirty.bottom;
                    ASSERT_EQ(PixelAt(backBuffer, x, y), touched ? average(x, y) : sentinel)
                        << x << "," << y << " width " << width;
                }
        }
}

// A hand filled in black into a white 300 x 300 back buffer in window coordinates.
QImage FillHand(const HandShape& shape, double angle, Rect* bounds = nullptr) {
    HandStyle style{};
    style.main = shape;
    HandState state;
    state.angle = angle;
    ComputeHandGeometry(style, state, {150, 150}, std::nullopt, 1, 0);
    DrawSurface backBuffer;
    backBuffer.bitmap = QImage(300, 300, QImage::Format_RGB32);
    backBuffer.bitmap.fill(Qt::white);
    DrawShape(shape, state.mainGeometry, backBuffer, ShapeCoordinates::Window, 1, 0, 0x000000);
    if (bounds != nullptr)
        *bounds = state.bounds;
    return backBuffer.bitmap;
}

TEST(HandRaster, HandCoversItsBodyAndStaysInsideItsBounds) {
    const HandShape shapes[] = {{0, 120, 6, 3, -20, kCapBase | kCapTip},
                                {0, 100, 4, 4, 0, 0},
                                {0, 90, 8, 1, 10, kCapBase | kCapTip}};
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> angles(0.0, 2 * std::numbers::pi);
    for (const HandShape& shape : shapes) {
        for (int i = 0; i < 40; ++i) {
            const double angle = angles(random);
            Rect bounds;
            const QImage hand = FillHand(shape, angle, &bounds);
            for (int y = 0; y < 300; ++y)
                for (int x = 0; x < 300; ++x) {
                    const bool filled = hand.pixel(x, y) != qRgb(255, 255, 255);
                    const bool inBounds = x >= bounds.left && x < bounds.right && y >= bounds.top &&
                                          y < bounds.bottom;
                    ASSERT_TRUE(!filled || inBounds) << x << "," << y << " angle " << angle;
                    // Centres well inside the bar must be filled: the ends are rounded to whole
                    // pixels and the corners truncated, so the outline may move by two pixels.
                    const double dx = x + 0.5 - 150;
                    const double dy = y + 0.5 - 150;
                    const double along = dx * std::sin(angle) - dy * std::cos(angle);
                    const double across = std::abs(dx * std::cos(angle) + dy * std::sin(angle));
                    const double f = (along - shape.baseDistance) /
                                     double(shape.tipDistance - shape.baseDistance);
                    const double halfWidth =
                        shape.baseHalfWidth + f * (shape.tipHalfWidth - shape.baseHalfWidth);
                    if (along > shape.baseDistance + 2 && along < shape.tipDistance - 2 &&
                        across < halfWidth - 2) {
                        ASSERT_TRUE(filled) << x << "," << y << " angle " << angle;
                    }
                }
        }
    }
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
