#include "clock/face_layout.h"

#include <gtest/gtest.h>
#include <limits>

namespace mv {
namespace {

TEST(FaceLayout, DialPositionByPlacementMode) {
    struct Case {
        int32_t windowWidth, windowHeight, dialWidth, dialHeight;
        uint32_t placement;
        int32_t x, y;
    };
    const Case cases[] = {
        // Wider picture than the window: mode 0 keeps the left square, 1 the right, 2/3 the middle.
        {320, 240, 400, 240, 0, 0, 0},
        {320, 240, 400, 240, 1, -80, 0},
        {320, 240, 400, 240, 2, -40, 0},
        {320, 240, 400, 240, 3, -40, 0},
        // Window narrower than the square: the kept square is centred and cut on both sides.
        {200, 240, 400, 240, 0, -20, 0},
        {200, 240, 400, 240, 1, -180, 0},
        {199, 240, 400, 240, 0, -20, 0}, // -41 / 2 truncates toward zero
        {199, 240, 400, 240, 1, -180, 0},
        {199, 240, 400, 240, 2, -100, 0},
        // The vertical mode sits in bits 2-3; other bits are ignored.
        {240, 320, 240, 400, 1 << 2, 0, -80},
        {240, 320, 240, 400, 0xF0 | (2 << 2) | 1, 0, -40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.windowWidth << "x" << c.windowHeight << " placement " << c.placement);
        Skin skin;
        skin.faceRect = {10, 20, 10 + c.dialWidth, 20 + c.dialHeight};
        skin.placement = c.placement;
        const Rect dial = LayoutFace(skin, c.windowWidth, c.windowHeight).dialScreenRect;
        EXPECT_EQ(dial, (Rect{c.x, c.y, c.x + c.dialWidth, c.y + c.dialHeight}));
    }
    Skin square;
    square.faceRect = {0, 0, 240, 240};
    for (uint32_t placement = 0; placement < 16; ++placement) {
        square.placement = placement;
        EXPECT_EQ(LayoutFace(square, 240, 320).dialScreenRect, (Rect{0, 40, 240, 280}));
    }
}

TEST(FaceLayout, PivotHubAndIndicatorFollowTheDial) {
    Skin skin;
    skin.faceRect = {0, 0, 241, 239}; // dial at (29, 30) in a 300 x 300 window
    skin.hubRect = {300, 0, 341, 41};
    skin.gpsIndicatorRect = {0, 300, 16, 312};
    skin.gpsIndicatorX = 10;
    skin.gpsIndicatorY = -4;
    FaceLayout layout = LayoutFace(skin, 300, 300);
    EXPECT_EQ(layout.pivotX, 29 + 120); // the picture's centre, truncated
    EXPECT_EQ(layout.pivotY, 30 + 119);
    EXPECT_EQ(layout.hubScreenRect, (Rect{129, 129, 170, 170}));
    EXPECT_EQ(layout.gpsIndicatorScreenRect, (Rect{39, 26, 55, 38}));

    skin.pivotOffsetX = -3;
    skin.pivotOffsetY = 5;
    layout = LayoutFace(skin, 300, 300);
    EXPECT_EQ(layout.pivotX, 146);
    EXPECT_EQ(layout.pivotY, 154);
    EXPECT_EQ(layout.hubScreenRect, (Rect{126, 134, 167, 175}));
}

TEST(FaceLayout, TilePlanCoversTheAreaColumnByColumn) {
    const std::vector<TileCopy> copies = PlanTiles(0, 0, 240, 320, 0, 0, 100, 60);
    ASSERT_EQ(copies.size(), 18u);
    EXPECT_EQ(copies[1], (TileCopy{0, 0, 0, 60, 100, 60}));
    EXPECT_EQ(copies[6], (TileCopy{0, 0, 100, 0, 100, 60}));
    EXPECT_EQ(copies[17], (TileCopy{0, 0, 200, 300, 40, 20}));
    int64_t area = 0;
    for (const TileCopy& copy : copies)
        area += int64_t(copy.width) * copy.height;
    EXPECT_EQ(area, 240 * 320);

    // A grid offset starts inside the tile; an offset of more than a tile lays the same tiles.
    const std::vector<TileCopy> expected = {{30, 0, 10, 5, 70, 60}, {0, 0, 80, 5, 80, 60}};
    EXPECT_EQ(PlanTiles(10, 5, 150, 60, 30, 0, 100, 60), expected);
    EXPECT_EQ(PlanTiles(10, 5, 150, 60, 230, 0, 100, 60), expected);

    EXPECT_TRUE(PlanTiles(0, 0, 240, 320, 0, 0, 0, 60).empty());
    EXPECT_TRUE(PlanTiles(0, 0, 240, 320, 0, 0, 100, -1).empty());
}

} // namespace
} // namespace mv

namespace mv {
namespace {

// Whatever rectangles and offsets a skin holds, the layout neither wraps round nor leaves the
// coordinate limit: what lies beyond it is never drawn.
TEST(FaceLayout, ExtremeSkinsAreClampedNotWrapped) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr auto kLimit = int32_t(kCoordinateLimit);
    Skin skin;
    skin.faceRect = {kMin, 0, 240, 240};
    skin.hubRect = {0, 0, kMax, kMax};
    skin.gpsIndicatorRect = {kMin, kMin, kMax, kMax};
    skin.gpsIndicatorX = kMax;
    skin.pivotOffsetY = kMin;
    const FaceLayout layout = LayoutFace(skin, 240, 320);
    EXPECT_EQ(layout.dialScreenRect, (Rect{0, 40, kLimit, 280}));
    EXPECT_EQ(layout.pivotX, kLimit);
    EXPECT_EQ(layout.pivotY, -kLimit);
    EXPECT_EQ(layout.hubScreenRect, (Rect{120, -kLimit, kLimit, -kLimit}));
    EXPECT_EQ(layout.gpsIndicatorScreenRect, (Rect{kLimit, 40, kLimit, kLimit}));
}

} // namespace
} // namespace mv
