// Partial frames redraw and repaint only the bands a moving hand covers. A band that misses a
// pixel of a hand, its overlay, its shadow or its smoothed edge leaves a trail on the face: so the
// hands go round through every part of the dial, in steps like those of smooth motion, and each
// frame must equal a full frame at the same angles and repaint every pixel it changed.
#include "clock/face_renderer.h"
#include "face_fixture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>

namespace mv {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

std::optional<QPoint> ChangeOutside(const QImage& before, const QImage& after,
                                    const QRegion& repainted) {
    for (int y = 0; y < before.height(); ++y) {
        const uchar* a = before.constScanLine(y);
        const uchar* b = after.constScanLine(y);
        if (std::memcmp(a, b, size_t(before.bytesPerLine())) == 0)
            continue;
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y) && !repainted.contains(QPoint(x, y)))
                return QPoint(x, y);
    }
    return std::nullopt;
}

TEST(FrameCoverage, HandsSweepingTheDialLeaveExactlyTheFullFramePicture) {
    for (const int skin : {240, 320, 480}) {
        for (const Mode& mode : kModes) {
            SCOPED_TRACE(testing::Message() << skin << " " << mode.name);
            Face running(skin, mode);
            Face reference(skin, mode);
            running.SetAngles(304, 48, 0);
            running.clock->DrawFullFrame(running.gps);
            // The second hand in 2.7-degree steps, the minute hand in 3-degree steps every third
            // frame (a second pass), the hour hand now and then (a third).
            for (int step = 1; step <= 140; ++step) {
                const double second = 2.7 * step;
                const double minute = 48 + 3 * (step / 3);
                const double hour = 304 + 7.5 * (step / 20);
                const QImage before = running.clock->BackBuffer().bitmap.copy();
                running.recorder.invalidations.clear();
                running.SetAngles(hour, minute, second);
                running.clock->DrawPartialFrame(PendingAngles{hour * kDegree, minute * kDegree},
                                                running.gps);

                reference.SetAngles(hour, minute, second);
                reference.clock->DrawFullFrame(reference.gps);
                const QImage& after = running.clock->BackBuffer().bitmap;
                ASSERT_TRUE(after == reference.clock->BackBuffer().bitmap) << "step " << step;

                QRegion repainted;
                for (const QRegion& region : running.recorder.invalidations)
                    repainted += region;
                const std::optional<QPoint> unseen = ChangeOutside(before, after, repainted);
                ASSERT_FALSE(unseen)
                    << "step " << step << " pixel " << unseen->x() << "," << unseen->y();
            }
        }
    }
}

} // namespace
} // namespace mv
