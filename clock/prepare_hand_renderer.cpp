#include "clock/prepare_hand_renderer.h"

#include "platform/screen.h"

#include <algorithm>

namespace mv {

void PrepareHandRenderer(const Skin& skin, HandRenderer& renderer, bool shadowSetting) {
    int32_t handReach = 0;   // left and up of the pivot
    int32_t shadowReach = 0; // right and down, shadows included
    for (size_t i = 0; i < renderer.hands.size(); ++i) {
        const HandStyle& style = skin.hands[i];
        HandState& hand = renderer.hands[i];
        if (style.overlay.tipDistance != 0)
            hand.overlayGeometry.brush = style.overlay.color;
        if (style.main.tipDistance != 0) {
            hand.mainGeometry.brush = style.main.color;
            const int32_t reach = std::max(style.main.tipDistance + style.main.tipHalfWidth,
                                           style.main.baseDistance + style.main.baseHalfWidth);
            handReach = std::max(handReach, reach);
            shadowReach = std::max(shadowReach, reach + style.shadowOffset);
        }
    }
    renderer.shadowOn = skin.shadowAlpha != 0 && shadowSetting;
    if (renderer.smoothShapes) {
        // A margin of one screen pixel at 96 dots per inch for the supersampled edges.
        const int32_t margin = ScaleForDpi(1, DpiAxis::Horizontal);
        handReach += margin;
        shadowReach += margin;
    }
    renderer.handReach = handReach;
    renderer.shadowReach = shadowReach;
    SetPivot(renderer, 0, 0);

    const int32_t side = (shadowReach + handReach) * (renderer.smoothShapes ? 2 : 1);
    if (side > kMaxHandSurfaceSide)
        return;
    if (renderer.smoothShapes)
        CreateDrawSurface(side, side, 16, renderer.supersampleSurface);
    if (renderer.shadowOn)
        CreateDrawSurface(side, side, 16, renderer.shadowSurface);
}

} // namespace mv
