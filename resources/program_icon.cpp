#include "resources/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace mv {

namespace {

// The artwork is designed on a 32 x 32 grid with the face's centre at (16, 16); the numbers
// below are the ones in marovellastrine.svg.
constexpr double kGrid = 32.0;
constexpr QColor kRing{0x1d, 0x35, 0x57};
constexpr QColor kFace{0xf8, 0xf4, 0xe8};
constexpr QColor kHands{0x1d, 0x35, 0x57};
constexpr QColor kSecondHand{0xd6, 0x28, 0x28};

void FillRotated(QPainter& painter, double degrees, const QRectF& rect, const QColor& colour) {
    painter.save();
    painter.rotate(degrees);
    painter.fillRect(rect, colour);
    painter.restore();
}

} // namespace

QImage DrawProgramIcon(int sizePixels) {
    QImage icon(sizePixels, sizePixels, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(sizePixels / kGrid, sizePixels / kGrid);
    painter.setPen(Qt::NoPen);
    painter.translate(16, 16);

    painter.setBrush(kRing);
    painter.drawEllipse(QPointF(0, 0), 15, 15);
    painter.setBrush(kFace);
    painter.drawEllipse(QPointF(0, 0), 12.5, 12.5);

    for (int hour = 0; hour < 12; ++hour) {
        const bool quarter = hour % 3 == 0;
        const QRectF tick = quarter ? QRectF(-1, -12, 2, 3.5) : QRectF(-0.5, -12, 1, 2);
        FillRotated(painter, hour * 30.0, tick, kRing);
    }

    // Ten past ten, the hands framing the face's upper half.
    FillRotated(painter, -60, QRectF(-1.25, -7, 2.5, 8), kHands);
    FillRotated(painter, 60, QRectF(-1, -10.5, 2, 11.5), kHands);
    FillRotated(painter, 165, QRectF(-0.5, -11, 1, 14), kSecondHand);

    painter.setBrush(kSecondHand);
    painter.drawEllipse(QPointF(0, 0), 1.75, 1.75);
    painter.setBrush(kRing);
    painter.drawEllipse(QPointF(0, 0), 0.75, 0.75);
    return icon;
}

QImage DrawVendorMark() {
    constexpr int kSize = 9;
    constexpr int kCross = kSize / 2;
    QImage mark(kSize, kSize, QImage::Format_RGB32);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool edge = x == 0 || y == 0 || x == kSize - 1 || y == kSize - 1;
            const bool cross = x == kCross || y == kCross;
            const QRgb colour = edge    ? qRgb(0, 0, 0)
                                : cross ? qRgb(255, 255, 255)
                                        : qRgb(255, 255, 0);
            mark.setPixel(x, y, colour);
        }
    }
    return mark;
}

} // namespace mv
