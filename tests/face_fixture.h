#pragma once
// A clock face for frame tests: a default skin loaded in one of the four drawing modes, a back
// buffer of the given size, and a recorder in place of the window.

#include "app/app_state.h"
#include "clock/frame.h"
#include "platform/device_clock.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

namespace mv {

inline QString DefaultSkin(int size) {
    return QStringLiteral(MV_BUILD_DATA_DIR "/skins/default_%1.scs").arg(size);
}

struct Mode {
    const char* name;
    bool smoothShapes;
    bool shadow;
};
inline constexpr Mode kModes[] = {
    {"plain", false, false},
    {"smooth", true, false},
    {"shadow", false, true},
    {"smooth+shadow", true, true},
};

struct Face {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    PaintRecorder recorder;

    Face(const QString& skin, const Mode& mode, int32_t width, int32_t height) {
        OverrideScreenDpi(96, 96); // the resolution is read once; every test sees 96 dpi
        state->settings.AntiAliased = mode.smoothShapes;
        state->settings.Shadow = mode.shadow;
        state->settings.Smooth = 0;
        EXPECT_TRUE(LoadSkin(skin, state->settings, state->skin, state->handRenderer))
            << LastSkinError();
        state->windowPaint.recorder = &recorder;
        ResizeBackBuffer(*state, width, height);
    }
    // The default skin of a size class in a portrait window of that width.
    Face(int size, const Mode& mode) : Face(DefaultSkin(size), mode, size, size * 4 / 3) {}
    ~Face() {
        ReleaseDrawSurface(state->backBuffer);
        ReleaseSkin(state->skin, state->handRenderer);
        UseSystemClock();
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    const QImage& Picture() const { return state->backBuffer.bitmap; }

    // Hour, minute and second hand angles in degrees.
    void SetAngles(double hour, double minute, double second) {
        constexpr double kDegree = std::numbers::pi / 180.0;
        state->handRenderer.hands[0].angle = hour * kDegree;
        state->handRenderer.hands[1].angle = minute * kDegree;
        state->handRenderer.hands[2].angle = second * kDegree;
    }
};

} // namespace mv
