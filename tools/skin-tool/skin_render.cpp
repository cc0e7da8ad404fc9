#include "tools/skin-tool/skin_render.h"

#include "clock/face_renderer.h"
#include "clock/hand_angles.h"
#include "platform/device_clock.h"
#include "platform/pixel_format.h"
#include "skin/skin_loader.h"

#include <QRegularExpression>
#include <memory>

namespace mv {

namespace {

// Every frame is drawn on this day (a Monday far from any daylight-saving change), so the
// pictures don't depend on the day they are made.
constexpr uint16_t kYear = 2024;
constexpr uint16_t kMonth = 1;
constexpr uint16_t kDay = 15;
constexpr uint16_t kMonday = 1;
// The manual clock's tick stays put, so smooth motion adds nothing to the given milliseconds.
constexpr uint32_t kTick = 0;
constexpr int32_t kLargestSide = 8192;

bool ParseSize(const QString& text, int32_t& width, int32_t& height) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    width = match.captured(1).toInt();
    height = match.captured(2).toInt();
    return width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide;
}

} // namespace

bool ShowTimeOnDeviceClock(const CalendarTime& local, CalendarTime& shown) {
    int64_t localCount = 0;
    int64_t utcCount = 0;
    int64_t shownCount = 0;
    if (!CalendarToCount(local, localCount) || !LocalToUtcCount(localCount, utcCount) ||
        !UtcToLocalCount(utcCount, shownCount) || !CountToCalendar(shownCount, shown))
        return false;
    UseManualClock(utcCount, kTick);
    return true;
}

bool ParseClockTime(const QString& text, CalendarTime& time) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{3}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).toInt();
    const int milliseconds = match.captured(4).isEmpty() ? 0 : match.captured(4).toInt();
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    time = {kYear,          kMonth,           kMonday,          kDay,
            uint16_t(hour), uint16_t(minute), uint16_t(second), uint16_t(milliseconds)};
    return true;
}

bool ParseRenderArguments(const QStringList& args, RenderRequest& request, QString& problem) {
    bool haveSize = false;
    bool haveTime = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--smooth-shapes")) {
            request.smoothShapes = true;
        } else if (arg == QLatin1String("--shadow")) {
            request.shadow = true;
        } else if (arg == QLatin1String("--smooth-motion")) {
            request.smoothMotion = true;
        } else if (arg == QLatin1String("--gps")) {
            request.gps = true;
        } else if (arg == QLatin1String("--size")) {
            if (!hasValue || !ParseSize(args[++i], request.width, request.height)) {
                problem = QStringLiteral("--size needs WIDTHxHEIGHT, each from 1 to 8192");
                return false;
            }
            haveSize = true;
        } else if (arg == QLatin1String("--time") || arg == QLatin1String("--then")) {
            CalendarTime time;
            if (!hasValue || !ParseClockTime(args[++i], time)) {
                problem = arg + QStringLiteral(" needs HH:MM:SS or HH:MM:SS.mmm");
                return false;
            }
            if (arg == QLatin1String("--then")) {
                request.then.push_back(time);
            } else {
                request.time = time;
                haveTime = true;
            }
        } else if (arg == QLatin1String("--dpi")) {
            bool ok = false;
            request.dpi = hasValue ? args[++i].toInt(&ok) : 0;
            if (!ok || request.dpi <= 0 || request.dpi > 10000) {
                problem =
                    QStringLiteral("--dpi needs a whole number of dots per inch from 1 to 10000");
                return false;
            }
        } else if (arg == QLatin1String("--out")) {
            if (!hasValue) {
                problem = QStringLiteral("--out needs a file name");
                return false;
            }
            request.output = args[++i];
        } else if (arg.startsWith(u'-') || !request.skinPath.isEmpty()) {
            problem = QStringLiteral("render: unexpected argument ") + arg;
            return false;
        } else {
            request.skinPath = arg;
        }
    }
    if (request.skinPath.isEmpty() || !haveSize || !haveTime || request.output.isEmpty()) {
        problem = QStringLiteral("render needs SKIN, --size, --time and --out");
        return false;
    }
    return true;
}

bool RenderSkin(const RenderRequest& request, QImage& picture, QString& error) {
    const auto face = std::make_unique<FaceRenderer>();
    const FaceOptions options{request.smoothShapes, request.smoothMotion, request.shadow};
    if (!face->LoadSkin(request.skinPath, options)) {
        error = QString::fromUtf8(LastSkinError());
        return false;
    }

    // The full frame shows the hands at the angles they hold and doesn't read the time.
    HandRenderer& renderer = face->Hands();
    face->ResizeBackBuffer(request.width, request.height, false);
    const HandAngles angles = ComputeHandAngles(request.time, request.smoothMotion,
                                                renderer.supersampleSurface.pixels != nullptr);
    renderer.hands[0].angle = angles.hour;
    renderer.hands[1].angle = angles.minute;
    renderer.hands[2].angle = angles.second;
    const QString missingTime =
        QStringLiteral("the time does not exist in this time zone on the day drawn");
    CalendarTime shown;
    if (!ShowTimeOnDeviceClock(request.time, shown)) {
        error = missingTime;
        return false;
    }
    face->DrawFullFrame(request.gps);

    // Each later time the way the clock gets it: from the device clock or the receiver.
    for (const CalendarTime& time : request.then) {
        if (!ShowTimeOnDeviceClock(time, shown)) {
            error = missingTime;
            return false;
        }
        face->DrawPartialFrame(shown, request.gps);
    }
    picture = BackBufferToRgb888(face->BackBuffer().bitmap);
    return true;
}

QImage BackBufferToRgb888(const QImage& backBuffer) {
    if (backBuffer.format() != QImage::Format_RGB555)
        return backBuffer.convertToFormat(QImage::Format_RGB888);
    QImage rgb(backBuffer.size(), QImage::Format_RGB888);
    if (rgb.isNull())
        return rgb;
    for (int y = 0; y < backBuffer.height(); ++y) {
        const auto* in = PixelRow<Rgb555Pixels>(backBuffer, y);
        uchar* out = rgb.scanLine(y);
        for (int x = 0; x < backBuffer.width(); ++x) {
            const QRgb pixel = Rgb555Pixels::ToRgb(in[x]);
            out[3 * x] = uchar(qRed(pixel));
            out[3 * x + 1] = uchar(qGreen(pixel));
            out[3 * x + 2] = uchar(qBlue(pixel));
        }
    }
    return rgb;
}

} // namespace mv
