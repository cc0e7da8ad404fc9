#include "clock/hand_geometry.h"
#include "platform/screen.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

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

TEST(HandGeometry, MirroredAngleGivesMirroredQuad) {
    const HandShape shape{0, 70, 5, 3, -15, 0};
    const Point pivot{120, 160};
    const auto mirror = [&](Point p) { return Point{2 * pivot.x - p.x, p.y}; };
    std::mt19937 random(20240601);
    std::uniform_real_distribution<double> angles(0.0, 2 * std::numbers::pi);
    for (int i = 0; i < 500; ++i) {
        const double angle = angles(random);
        ShapeGeometry right, left;
        ComputeShapeGeometry(shape, right, angle, pivot, std::nullopt, 1);
        ComputeShapeGeometry(shape, left, -angle, pivot, std::nullopt, 1);
        ASSERT_TRUE(right.quad && left.quad);
        // Mirroring swaps the two sides; truncation may move a corner by one pixel.
        for (size_t k = 0; k < 4; ++k) {
            const Point expected = mirror((*right.quad)[3 - k]);
            EXPECT_LE(std::abs((*left.quad)[k].x - expected.x), 1) << "angle " << angle;
            EXPECT_LE(std::abs((*left.quad)[k].y - expected.y), 1) << "angle " << angle;
        }
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
        EXPECT_FALSE(r.hands[2].overlayGeometry.quad.has_value());
    }
}

TEST_F(HandsOfASkin, SurfacePointsAreComputedAtTheSurfaceResolution) {
    CreateDrawSurface(260, 260, 16, renderer.supersampleSurface);
    ComputeAllHands(skin, renderer);
    const ShapeGeometry& hour = renderer.hands[0].mainGeometry;
    EXPECT_EQ(hour.quad, (Quad{{{121, 99}, {122, 169}, {117, 169}, {118, 99}}}));
    EXPECT_EQ(hour.surfaceQuad, (Quad{{{129, 5}, {131, 145}, {120, 145}, {122, 5}}}));
    EXPECT_EQ(hour.surfaceBaseCenter, (Point{126, 146}));
}

TEST(HandGeometry, ShapeWithoutQuadKeepsOnlyItsCentres) {
    ShapeGeometry geometry;
    geometry.quad = Quad{};
    ComputeShapeGeometry({0, 5, 2, 10, 0, kCapTip}, geometry, 0.0, {50, 50}, std::nullopt, 1);
    EXPECT_FALSE(geometry.quad.has_value());
    EXPECT_EQ(geometry.tipCenter, (Point{50, 45}));
    EXPECT_EQ(geometry.baseCenter, (Point{50, 50}));
}

} // namespace
} // namespace mv
