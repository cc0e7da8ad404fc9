// The hand renderer's per-skin resources: reaches, margin, surfaces and brushes.
#include "clock/prepare_hand_renderer.h"
#include "skin_load_fixture.h"

namespace mv::test {
namespace {

// One hour hand: tip 60 (half width 2), base -10 (half width 3), shadow 4.
Skin OneHandSkin(int16_t shadowAlpha) {
    Skin skin;
    skin.hands[0].main = {MakeColor(10, 20, 30), 60, 3, 2, -10, 0};
    skin.hands[0].shadowOffset = 4;
    skin.shadowAlpha = shadowAlpha;
    return skin;
}

TEST_F(SkinLoadTest, ReachesAndSurfacesFollowTheHandsAndSettings) {
    const struct {
        const char* name;
        bool smooth;
        bool shadowSetting;
        int16_t shadowAlpha;
        int32_t handReach, shadowReach;
        int32_t supersampleSide, shadowSide; // 0 = not made
        int32_t shadowOn;
    } cases[] = {
        {"smooth with shadow", true, true, 128, 63, 67, 260, 260, 1},
        {"plain with shadow", false, true, 128, 62, 66, 0, 128, 1},
        {"smooth, skin without shadow", true, true, 0, 63, 67, 260, 0, 0},
        {"shadow setting off", false, false, 128, 62, 66, 0, 0, 0},
        {"shadow alpha 256 (opacity 0)", false, true, 256, 62, 66, 0, 128, 1},
        {"negative shadow alpha", false, true, -1, 62, 66, 0, 128, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HandRenderer hands;
        hands.smoothShapes = c.smooth;
        PrepareHandRenderer(OneHandSkin(c.shadowAlpha), hands, c.shadowSetting);
        EXPECT_EQ(hands.handReach, c.handReach);
        EXPECT_EQ(hands.shadowReach, c.shadowReach);
        EXPECT_EQ(hands.shadowOn, c.shadowOn);
        EXPECT_EQ(hands.workRect, (Rect{-c.handReach, -c.handReach, c.shadowReach, c.shadowReach}));
        EXPECT_EQ(hands.supersampleSurface.pixels != nullptr, c.supersampleSide != 0);
        EXPECT_EQ(hands.shadowSurface.pixels != nullptr, c.shadowSide != 0);
        // A surface not made has a null picture, whose size is 0 x 0.
        EXPECT_EQ(hands.supersampleSurface.bitmap.size(),
                  QSize(c.supersampleSide, c.supersampleSide));
        EXPECT_EQ(hands.shadowSurface.bitmap.size(), QSize(c.shadowSide, c.shadowSide));
        EXPECT_EQ(hands.hands[0].mainGeometry.brush, MakeColor(10, 20, 30));
        ReleaseHandRenderer(hands);
    }
}

TEST_F(SkinLoadTest, OverlayGetsABrushButNoReach) {
    Skin skin = OneHandSkin(128);
    skin.hands[0].overlay = {MakeColor(1, 1, 1), 120, 9, 9, -50, 0};
    skin.hands[2].overlay = {MakeColor(2, 2, 2), 200, 1, 1, 0, 0}; // without a main shape
    HandRenderer hands;
    PrepareHandRenderer(skin, hands, true);
    EXPECT_EQ(hands.handReach, 62);
    EXPECT_EQ(hands.shadowReach, 66);
    EXPECT_EQ(hands.hands[0].overlayGeometry.brush, MakeColor(1, 1, 1));
    EXPECT_EQ(hands.hands[2].overlayGeometry.brush, MakeColor(2, 2, 2));
    EXPECT_FALSE(hands.hands[2].mainGeometry.brush.has_value());
    EXPECT_FALSE(hands.hands[1].mainGeometry.brush.has_value());
    ReleaseHandRenderer(hands);
    EXPECT_FALSE(hands.hands[0].overlayGeometry.brush.has_value());
}

// Hands at the loader's limits must not make surfaces beyond kMaxHandSurfaceSide; the hands are
// then drawn in plain mode.
TEST_F(SkinLoadTest, HugeHandsLoadWithoutSurfaces) {
    SkinFileLayout layout = SampleSpec();
    layout.parameters.hands[2].main = {0, 4096, 1024, 1024, 4096, 0};
    layout.parameters.hands[2].shadowOffset = 1024;
    ASSERT_TRUE(Load(layout)) << LastSkinError();
    EXPECT_EQ(renderer.handReach, 5121);
    EXPECT_EQ(renderer.supersampleSurface.pixels, nullptr);
    EXPECT_EQ(renderer.shadowSurface.pixels, nullptr);
}

} // namespace
} // namespace mv::test
