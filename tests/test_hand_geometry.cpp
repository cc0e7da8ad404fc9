// The geometry of the hands and the layout of the face in the window.
#include "clock/face_layout.h"
#include "clock/hand_geometry.h"
#include "platform/screen.h"

#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace mv {
namespace {

using Quad = std::array<Point, 4>;

TEST(HandGeometry, OffsetAlongAngleTurnsClockwiseFromTwelve) {
    const struct {
        double angle;
        Point expected;
    } cases[] = {{0.0, {100, 50}},
                 {std::numbers::pi / 2, {150, 100}},
                 {std::numbers::pi, {100, 150}},
                 {std::numbers::pi / 6, {125, 57}}};
    for (const auto& c : cases) {
        Point point{100, 100};
        OffsetAlongAngle(50, c.angle, point);
        EXPECT_EQ(point, c.expected) << "angle " << c.angle;
    }
}

TEST(HandGeometry, TangentQuadJoinsTheOuterTangents) {
    const struct {
        Circle first, second;
        std::optional<Quad> expected;
    } cases[] = {
        // Truncation toward zero makes the two sides differ by a pixel.
        {{100, 20, 2}, {100, 100, 4}, Quad{{{101, 19}, {103, 99}, {96, 99}, {98, 19}}}},
        {{100, 100, 4}, {100, 20, 2}, Quad{{{101, 19}, {103, 99}, {96, 99}, {98, 19}}}},
        {{100, 20, 3}, {100, 100, 3}, Quad{{{103, 20}, {103, 100}, {97, 100}, {97, 20}}}},
        {{100, 20, 10}, {100, 25, 2}, std::nullopt}, // one circle inside the other
        {{100, 20, 2}, {100, 20, 2}, std::nullopt},  // same centre
    };
    for (const auto& c : cases) {
        Quad quad{{{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}};
        const Quad untouched = quad;
        const bool found = TangentQuad(c.first, c.second, quad);
        EXPECT_EQ(found, c.expected.has_value());
        EXPECT_EQ(quad, c.expected.value_or(untouched));
    }
}

// Every test that can read ScreenDpi lives here, so the resolution is decided before it is kept.
class HandsOfASkin : public testing::Test {
protected:
    static void SetUpTestSuite() { OverrideScreenDpi(192, 288); }

    void SetUp() override {
        // Hour hand: 60 up at 0 rad with a 10 pixel tail; minute hand: 50 to the right.
        skin.hands[0].main = {0, 60, 3, 2, -10, kCapBase | kCapTip};
        skin.hands[0].shadowOffset = 4;
        skin.hands[1].main = {0, 50, 1, 1, 0, 0};
        skin.hands[2].overlay = {0, 40, 2, 2, 0, 0}; // no main shape: not a hand
        renderer.handReach = 63;
        renderer.shadowReach = 67;
        SetPivot(renderer, 120, 160);
        renderer.hands[1].angle = std::numbers::pi / 2;
        renderer.hands[2].bounds = {0, 0, 1000, 1000};
    }

    Skin skin;
    HandRenderer renderer;
};

TEST_F(HandsOfASkin, BoundsGrowWithShadowAndSmoothShapes) {
    ASSERT_EQ(renderer.workRect, (Rect{57, 97, 187, 227}));
    const struct {
        bool smooth, shadow;
        Rect hour, minute; // the minute hand casts no shadow: its shadowOffset is 0
        Point surfaceTip;
    } cases[] = {
        {false, false, {117, 98, 123, 173}, {119, 159, 171, 161}, {}},
        {false, true, {117, 98, 127, 177}, {119, 159, 171, 161}, {63, 3}},
        {true, false, {115, 95, 125, 176}, {117, 156, 173, 164}, {126, 6}},
        {true, true, {115, 95, 129, 180}, {117, 156, 173, 164}, {126, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "smooth " << c.smooth << " shadow " << c.shadow);
        HandRenderer r = renderer;
        if (c.smooth)
            CreateDrawSurface(260, 260, 16, r.supersampleSurface);
        if (c.shadow)
            CreateDrawSurface(c.smooth ? 260 : 130, c.smooth ? 260 : 130, 16, r.shadowSurface);
        ComputeAllHands(skin, r);
        EXPECT_EQ(r.hands[0].bounds, c.hour);
        EXPECT_EQ(r.hands[0].mainGeometry.surfaceTipCenter, c.surfaceTip);
        EXPECT_EQ(r.hands[0].mainGeometry.surfaceQuad.has_value(), c.smooth || c.shadow);
        EXPECT_EQ(r.hands[1].bounds, c.minute);
        EXPECT_EQ(r.handsBounds, UnionRect(r.hands[0].bounds, r.hands[1].bounds));
        EXPECT_EQ(r.hands[2].bounds, (Rect{0, 0, 1000, 1000}));
    }
}

TEST(HandGeometry, ShapeWithoutQuadKeepsOnlyItsCentres) {
    ShapeGeometry geometry;
    geometry.quad = Quad{};
    ComputeShapeGeometry({0, 5, 2, 10, 0, kCapTip}, geometry, 0.0, {50, 50}, std::nullopt, 1);
    EXPECT_FALSE(geometry.quad.has_value());
    EXPECT_EQ(geometry.tipCenter, (Point{50, 45}));
    EXPECT_EQ(geometry.baseCenter, (Point{50, 50}));
}

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
        // Window narrower than the square: the kept square is centred and cut on both sides.
        {199, 240, 400, 240, 0, -20, 0}, // -41 / 2 truncates toward zero
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
    EXPECT_EQ(LayoutFace(skin, 300, 300).hubScreenRect, (Rect{126, 134, 167, 175}));
}

// A grid offset starts inside the tile; an offset of more than a tile lays the same tiles.
TEST(FaceLayout, TilePlanStartsInsideTheTileAtAGridOffset) {
    const std::vector<TileCopy> expected = {{30, 0, 10, 5, 70, 60}, {0, 0, 80, 5, 80, 60}};
    EXPECT_EQ(PlanTiles(10, 5, 150, 60, 30, 0, 100, 60), expected);
    EXPECT_EQ(PlanTiles(10, 5, 150, 60, 230, 0, 100, 60), expected);

    EXPECT_TRUE(PlanTiles(0, 0, 240, 320, 0, 0, 0, 60).empty());
    EXPECT_TRUE(PlanTiles(0, 0, 240, 320, 0, 0, 100, -1).empty());
}

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
