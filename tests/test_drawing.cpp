// The drawing layer: fills, copies, the 2 x 2 enlargement, the constant-opacity blend, and the
// background built from them.
#include "clock/face_background.h"
#include "platform/draw_blend.h"
#include "platform/draw_copy.h"
#include "platform/draw_fill.h"
#include "platform/draw_scale.h"
#include "platform/draw_shapes.h"
#include "platform/pixel_format.h"
#include "skin/skin_loader.h"

#include <functional>
#include <gtest/gtest.h>
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

// Counts the pixels that differ; each must lie inside allowed.
int CountChanged(const QImage& before, const QImage& after, const QRegion& allowed) {
    int changed = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) {
                ++changed;
                EXPECT_TRUE(allowed.contains(QPoint(x, y))) << x << "," << y;
            }
    return changed;
}

TEST(Drawing, ShapesFillPixelCentresInsideWithoutOutline) {
    for (QImage::Format format : kTargetFormats) {
        QImage black(40, 40, format);
        black.fill(Qt::black);
        QImage image = black.copy();
        const uint32_t color = MakeColor(0x87, 0x4F, 0xFF);
        FillPolygon(image, {{{10, 10}, {20, 10}, {20, 20}, {10, 20}}}, color, nullptr);
        EXPECT_EQ(CountChanged(black, image, QRegion(10, 10, 10, 10)), 100);
        QImage stored(1, 1, format);
        stored.fill(QColor::fromRgb(RgbOfColor(color)));
        EXPECT_EQ(image.pixel(10, 10), stored.pixel(0, 0));
        EXPECT_EQ(image.pixel(19, 19), stored.pixel(0, 0));

        QImage disc = black.copy();
        FillEllipse(disc, {5, 7, 25, 19}, color, nullptr);
        EXPECT_GT(CountChanged(black, disc, QRegion(5, 7, 20, 12)), 150);
        for (int y = 7; y < 19; ++y)
            for (int x = 5; x < 25; ++x) {
                EXPECT_EQ(disc.pixel(x, y), disc.pixel(29 - x, y)) << x << "," << y;
                EXPECT_EQ(disc.pixel(x, y), disc.pixel(x, 25 - y)) << x << "," << y;
            }
    }
}

TEST(Drawing, EveryOperationStaysInsideTheClip) {
    const QRegion clip = QRegion(3, 4, 12, 9) + QRegion(20, 18, 15, 30);
    const QImage picture = Noise(64, 64, QImage::Format_RGB555, 7);
    const QImage keyed = Noise(64, 64, QImage::Format_ARGB32_Premultiplied, 8);
    const Rect all{0, 0, 64, 64};
    const std::function<void(QImage&, const QRegion*)> operations[] = {
        [&](QImage& t, auto c) {
            FillPolygon(t, {{{-5, 2}, {50, 0}, {60, 45}, {1, 58}}}, 1, c);
        },
        [&](QImage& t, auto c) {
            FillEllipse(t, {0, 0, 50, 64}, 0x123456, c);
        },
        [&](QImage& t, auto c) {
            FillRectangle(t, {-10, -10, 100, 100}, 0x123456, c);
        },
        [&](QImage& t, auto c) { FillVerticalGradient(t, all, 0x0000FF, 0xFF0000, c); },
        [&](QImage& t, auto c) {
            CopyPixels(t, {0, 0}, picture, all, c);
        },
        [&](QImage& t, auto c) {
            CopyKeyed(t, {0, 0}, keyed, all, c);
        },
        [&](QImage& t, auto c) {
            ScaleCopy2x(t, {-3, 0}, picture, {0, 0, 40, 40}, c);
        },
        [&](QImage& t, auto c) {
            BlendConstantAlpha(t, {0, 0}, picture, all, 100, c);
        },
    };
    for (QImage::Format format : kTargetFormats) {
        const QImage before = Noise(50, 60, format, 9);
        for (size_t i = 0; i < std::size(operations); ++i) {
            QImage unclipped = before.copy();
            operations[i](unclipped, nullptr);
            QImage clipped = before.copy();
            operations[i](clipped, &clip);
            EXPECT_NE(clipped, before) << "operation " << i;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 50; ++x) {
                    const bool inside = clip.contains(QPoint(x, y));
                    ASSERT_EQ(clipped.pixel(x, y), (inside ? unclipped : before).pixel(x, y))
                        << "operation " << i << " at " << x << "," << y;
                }
        }
    }
}

TEST(Drawing, KeyedCopyLeavesKeyPixelsAndCopiesTheRestExactly) {
    const uint32_t key = MakeColor(255, 0, 255);
    SkinImage face;
    face.bitmap = Noise(30, 20, QImage::Format_RGB32, 3);
    for (int y = 0; y < 20; ++y)
        for (int x = y % 3; x < 30; x += 3)
            face.bitmap.setPixel(x, y, RgbOfColor(key));
    PrepareSkinImage(face);
    PrepareKeyedImage(face, key);

    for (QImage::Format format : kTargetFormats) {
        const QImage before = Noise(40, 40, format, 4);
        QImage target = before.copy();
        CopyKeyed(target, {7, 9}, face.keyed, {2, 1, 27, 19}, nullptr);
        const QImage expected = face.dc.convertToFormat(format);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const int sx = x - 5;
                const int sy = y - 8;
                const bool copied = sx >= 2 && sx < 27 && sy >= 1 && sy < 19 &&
                                    face.dc.pixel(sx, sy) != RgbOfColor(key);
                ASSERT_EQ(target.pixel(x, y), copied ? expected.pixel(sx, sy) : before.pixel(x, y))
                    << x << "," << y;
            }
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
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x < 13 && y >= 3 && y < 15;
                ASSERT_EQ(target.pixel(x, y), inside
                                                  ? expected.pixel(2 + (x + 1) / 2, 1 + (y - 3) / 2)
                                                  : before.pixel(x, y))
                    << x << "," << y;
            }
    }
}

uint16_t Pixel555(int red, int green, int blue) {
    return uint16_t(red << 10 | green << 5 | blue);
}

TEST(Drawing, BlendMixesFiveBitChannels) {
    const struct {
        uint16_t source, target;
        uint8_t alpha;
        uint16_t expected;
    } cases[] = {
        {Pixel555(31, 31, 31), Pixel555(3, 9, 27), 0, Pixel555(3, 9, 27)},
        {Pixel555(31, 0, 17), Pixel555(3, 9, 27), 255, Pixel555(31, 0, 17)},
        {Pixel555(31, 0, 31), Pixel555(0, 31, 0), 128, Pixel555(15, 15, 15)},
        {Pixel555(0, 0, 0), Pixel555(31, 20, 10), 96, Pixel555(19, 12, 6)},
        {Pixel555(12, 13, 14), Pixel555(12, 13, 14), 200, Pixel555(12, 13, 14)},
    };
    for (const auto& c : cases) {
        QImage source(3, 2, QImage::Format_RGB555);
        QImage target(3, 2, QImage::Format_RGB555);
        reinterpret_cast<uint16_t*>(source.scanLine(1))[2] = c.source;
        reinterpret_cast<uint16_t*>(target.scanLine(0))[1] = c.target;
        BlendConstantAlpha(target, {1, 0}, source, {2, 1, 3, 2}, c.alpha, nullptr);
        EXPECT_EQ(reinterpret_cast<const uint16_t*>(target.constScanLine(0))[1], c.expected)
            << "alpha " << int(c.alpha);
    }
}

TEST(Drawing, BlendOfACopyChangesOnlyTheShadow) {
    // A 16-bit shadow surface holds a copy of a 32-bit picture where no shadow fell: blending it
    // back must not lose the picture's low bits there.
    const QImage picture = Noise(16, 16, QImage::Format_RGB32, 11);
    QImage shadow(16, 16, QImage::Format_RGB555);
    CopyPixels(shadow, {0, 0}, picture, {0, 0, 16, 16}, nullptr);
    FillRectangle(shadow, {4, 4, 8, 8}, 0x000000, nullptr);
    QImage target = picture.copy();
    BlendConstantAlpha(target, {0, 0}, shadow, {0, 0, 16, 16}, 255, nullptr);
    EXPECT_EQ(CountChanged(picture, target, QRegion(4, 4, 4, 4)), 16);
    EXPECT_EQ(target.pixel(5, 5), qRgb(0, 0, 0));
}

TEST(Drawing, BackgroundIsGradientOrPlainColourWithoutPicture) {
    Skin skin;
    skin.backgroundTopColor = MakeColor(250, 10, 0);
    skin.backgroundBottomColor = MakeColor(0, 200, 255);
    DrawSurface backBuffer;
    backBuffer.width = 3;
    backBuffer.height = 320;
    backBuffer.bitmap = QImage(3, 320, QImage::Format_RGB32);
    DrawBackground(skin, backBuffer);
    EXPECT_EQ(backBuffer.bitmap.pixel(0, 0), qRgb(250, 10, 0));
    EXPECT_EQ(backBuffer.bitmap.pixel(2, 319),
              qRgb(250 - 250 * 319 / 320, 10 + 190 * 319 / 320, 255 * 319 / 320));

    skin.backgroundBottomColor = skin.backgroundTopColor;
    DrawBackground(skin, backBuffer);
    EXPECT_EQ(backBuffer.bitmap.pixel(2, 319), qRgb(250, 10, 0));
}

TEST(Drawing, BackgroundTilesThePictureFromTheTopLeft) {
    Skin skin;
    skin.backgroundTopColor = 0x0000FF; // the picture wins over the colours
    skin.backgroundImage.bitmap = Noise(100, 60, QImage::Format_RGB32, 12);
    PrepareSkinImage(skin.backgroundImage);
    for (QImage::Format format : kTargetFormats) {
        DrawSurface backBuffer;
        backBuffer.width = 240;
        backBuffer.height = 320;
        backBuffer.bitmap = QImage(240, 320, format);
        DrawBackground(skin, backBuffer);
        // 3 x 6 copies; the third column is 40 pixels wide and the sixth row 20 high.
        const QImage expected = skin.backgroundImage.dc.convertToFormat(format);
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x)
                ASSERT_EQ(backBuffer.bitmap.pixel(x, y), expected.pixel(x % 100, y % 60))
                    << x << "," << y;
    }
}

} // namespace
} // namespace mv
