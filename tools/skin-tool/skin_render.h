#pragma once
// `render`: a skin drawn by the clock's own frames at given times, written as a picture.

#include "platform/calendar.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace mv {

struct RenderRequest {
    QString skinPath;
    int32_t width = 0;
    int32_t height = 0;
    CalendarTime time;              // local time of the full frame
    std::vector<CalendarTime> then; // each drawn as a partial frame after it, in order
    bool smoothShapes = false;
    bool shadow = false;
    bool smoothMotion = false;
    bool gps = false; // a connected receiver with a fix delivers the times
    int32_t dpi = 96;
    QString output;
};

// "HH:MM:SS" or "HH:MM:SS.mmm" into the clock fields of time.
bool ParseClockTime(const QString& text, CalendarTime& time);

// The arguments after `render`; false with the problem named when they don't make a request.
bool ParseRenderArguments(const QStringList& args, RenderRequest& request, QString& problem);

// Sets the manual device clock to local time (on a fixed day) and gives the local time the face
// shows then, from the device clock or from a receiver with a fix at that time alike. False when
// the time doesn't exist in the time zone on that day.
bool ShowTimeOnDeviceClock(const CalendarTime& local, CalendarTime& shown);

// Loads the skin, draws the full frame and the partial frames, and returns the back buffer as
// 8-bit RGB. The device clock is left in manual mode at the last time drawn. False, with the
// loader's reason in error, when the skin is rejected. The screen's resolution must already be
// decided.
bool RenderSkin(const RenderRequest& request, QImage& picture, QString& error);

// The back buffer's pixels as 8-bit RGB; a 5-bit channel v becomes (v << 3) | (v >> 2).
QImage BackBufferToRgb888(const QImage& backBuffer);

} // namespace mv
