#pragma once
// A clock face for frame tests: a default skin loaded in one of the four drawing modes, a back
// buffer of the given size, and a recorder in place of the window.

#include "clock/face_renderer.h"
#include "platform/device_clock.h"
#include "platform/screen.h"
#include "skin/skin_loader.h"
#include "tools/skin-tool/skin_render.h"

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
    std::unique_ptr<FaceRenderer> clock = std::make_unique<FaceRenderer>();
    PaintRecorder recorder;
    CalendarTime shown; // the time the next partial frame shows
    bool gps = false;   // and whether it is GPS time

    Face(const QString& skin, const Mode& mode, int32_t width, int32_t height) {
        OverrideScreenDpi(96, 96); // the resolution is read once; every test sees 96 dpi
        EXPECT_TRUE(clock->LoadSkin(skin, {mode.smoothShapes, false, mode.shadow}))
            << LastSkinError();
        clock->Paint().recorder = &recorder;
        clock->ResizeBackBuffer(width, height, gps);
    }
    // The default skin of a size class in a portrait window of that width.
    Face(int size, const Mode& mode) : Face(DefaultSkin(size), mode, size, size * 4 / 3) {}
    ~Face() { UseSystemClock(); }

    const QImage& Picture() const { return clock->BackBuffer().bitmap; }

    // The device clock set to local time, shown from it or from a receiver with a fix.
    bool Show(const CalendarTime& local, bool fromGps) {
        gps = fromGps;
        return ShowTimeOnDeviceClock(local, shown);
    }
    void Partial() { clock->DrawPartialFrame(shown, gps); }

    // Hour, minute and second hand angles in degrees.
    void SetAngles(double hour, double minute, double second) {
        constexpr double kDegree = std::numbers::pi / 180.0;
        clock->Hands().hands[0].angle = hour * kDegree;
        clock->Hands().hands[1].angle = minute * kDegree;
        clock->Hands().hands[2].angle = second * kDegree;
    }
};

} // namespace mv
