#pragma once
// The clock face's owner: the skin, the hand renderer, the back buffer of the window's size in
// device pixels, the face's layout in that window and the smooth-motion base. A frame is composed
// in the back buffer, the changed part of the window is marked invalid through the paint target,
// and the window's paint handling copies it to the screen with PresentBackBuffer. The face is told
// the time to show and whether it is GPS time; it never asks for either.

#include "clock/draw_records.h"
#include "clock/face_layout.h"
#include "platform/calendar.h"
#include "platform/geometry.h"
#include "platform/window_paint.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"

#include <QPainter>
#include <QRegion>
#include <cstdint>
#include <optional>

namespace mv {

// How the hands are drawn, as the user chose it.
struct FaceOptions {
    bool smoothShapes = false; // supersampled hands with smoothed edges
    bool smoothMotion = false; // the second hand glides between whole seconds
    bool shadow = false;       // the hands cast the skin's shadows
};

constexpr double kNoPendingAngle = -1.0;

// Angles of the hour and minute hands that a partial pass put off to the next pass.
struct PendingAngles {
    double hour = kNoPendingAngle;
    double minute = kNoPendingAngle;
};

class FaceRenderer {
public:
    FaceRenderer() = default;
    ~FaceRenderer();
    FaceRenderer(const FaceRenderer&) = delete;
    FaceRenderer& operator=(const FaceRenderer&) = delete;

    // Loads the skin at path and prepares the hands for it with the given options; false on
    // failure. A failure before the face image block was read leaves the previous skin and hands
    // untouched; a later one leaves the new parameters, without pictures, with hands made for them.
    bool LoadSkin(const QString& path, const FaceOptions& options, SkinLoadFailure& failure);
    bool LoadSkin(const QString& path, const FaceOptions& options);
    // Releases the pictures and the hands' surfaces.
    void ReleaseSkin();
    // Smooth motion on or off without reloading the skin.
    void SetSmoothMotion(bool on) { hands_.smoothMotion = on; }

    // The window's client area has this size: recreates the back buffer (16-bit pixels with
    // smooth shapes, else the display's format) and draws a full frame. The current size does
    // nothing. Each drawing call returns true when the GPS indicator changed with it.
    bool ResizeBackBuffer(int32_t width, int32_t height, bool gpsTimeValid);
    // The drawing options changed: the back buffer is made again in the format the mode needs,
    // and a full frame is drawn.
    bool RebuildBackBuffer(bool gpsTimeValid);
    void ReleaseBackBuffer();

    // Lays the face out and draws all of it (background, dial, indicator, shadows, hands, hub)
    // with the hands at the angles they hold; the whole window is repainted.
    bool DrawFullFrame(bool gpsTimeValid);

    // Takes the time shown, then redraws the moved hands and a changed GPS indicator inside clip
    // regions, one moved hand per pass (second, minute, hour) unless the indicator changed, and
    // repaints only what changed. Each pass is on screen before the next.
    bool DrawPartialFrame(const CalendarTime& shown, bool gpsTimeValid);
    // The same from angles a previous pass deferred, without a new time.
    bool DrawPartialFrame(PendingAngles pending, bool gpsTimeValid);

    // Adds the milliseconds since the face first showed the second of shown when smooth motion
    // is on, and stores the three hands' angles.
    void ComputeDisplayTime(const CalendarTime& shown);
    // After a pause of the clock (a dialog, a skin load, a restarted timer) the next smooth frame
    // takes a fresh base. Otherwise a first frame that happens to show the same second field as
    // the last one, minutes later, would add the whole pause (or the raw tick count).
    void ForgetSecondStart();

    // Copies rect (device pixels) of the back buffer to the same place of the painter's device.
    void PresentBackBuffer(QPainter& painter, const Rect& rect) const;

    const Skin& GetSkin() const { return skin_; }
    Skin& GetSkin() { return skin_; }
    HandRenderer& Hands() { return hands_; }
    const HandRenderer& Hands() const { return hands_; }
    const DrawSurface& BackBuffer() const { return backBuffer_; }
    const FaceLayout& Layout() const { return layout_; }
    bool GpsIndicatorDrawn() const { return gpsIndicatorDrawn_; }
    // Where the frames send their repaints; the window puts itself and its presenter here.
    WindowPaint& Paint() { return paint_; }

private:
    void MakeBackBuffer(int32_t width, int32_t height);
    std::optional<PendingAngles> DrawPartialPass(const std::optional<PendingAngles>& pending,
                                                 bool& indicatorChanged);
    bool DrawPartialPasses(std::optional<PendingAngles> pending, bool gpsTimeValid);
    void Compose(const Rect& dirty, const QRegion* redrawn,
                 const std::optional<QRegion>& handsClip);
    void DrawShadows(const Rect& dirty, const Rect& area);
    // Records that the back buffer shows gpsTimeValid's indicator; true when that changed.
    bool TakeIndicator(bool gpsTimeValid);

    Skin skin_;
    HandRenderer hands_;
    DrawSurface backBuffer_;
    WindowPaint paint_;
    FaceLayout layout_;              // of the last full frame, window coordinates
    bool gpsIndicatorDrawn_ = false; // the back buffer shows the GPS indicator

    // The smooth-motion base: the tick at the first frame that showed the current second, and
    // that second (0xFFFF, which no second takes, until the first smooth frame).
    uint32_t secondStartTick_ = 0;
    uint16_t lastSecond_ = 0xFFFF;
    uint16_t secondStartMilliseconds_ = 0; // the milliseconds the time had at that first frame
};

} // namespace mv
