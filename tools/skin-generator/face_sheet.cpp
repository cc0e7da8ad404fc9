// The face picture of the default skins. Every sprite starts as a solid, non-antialiased shape in
// a dark edge colour on the key colour, and everything antialiased is drawn inside it; at the end
// every pixel outside those shapes is set back to the key colour. So the sprite's outline is
// crisp against the key colour, and no pixel mixes the key colour into the picture (which would
// show as a magenta fringe once the key colour is left out).
#include "tools/skin-generator/default_skin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace mv {

namespace {

const QColor kKey(0xFF, 0x00, 0xFF);
const QColor kEdge(0x14, 0x17, 0x1B);
const QColor kBezelLight(0x5A, 0x62, 0x6C);
const QColor kBezelDark(0x16, 0x19, 0x1D);
const QColor kDialCentre(0xFA, 0xF6, 0xEC);
const QColor kDialRim(0xE4, 0xDC, 0xCB);
const QColor kInk(0x26, 0x29, 0x2E);
const QColor kAccent(0xC8, 0x30, 0x2A);
const QColor kSignal(0x63, 0xD6, 0x7E);
const QColor kBadgeText(0xE9, 0xEC, 0xEF);

// The sheet and, in white on black, the mask of the pixels that belong to a sprite.
struct SheetPainters {
    QPainter& sheet;
    QPainter& mask;
};

void FillCrisp(SheetPainters& painters, const QRectF& box, bool round, double cornerRadius = 0) {
    for (QPainter* painter : {&painters.sheet, &painters.mask}) {
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(painter == &painters.mask ? Qt::white : kEdge);
        if (round)
            painter->drawEllipse(box);
        else
            painter->drawRoundedRect(box, cornerRadius, cornerRadius);
    }
    painters.sheet.setRenderHint(QPainter::Antialiasing, true);
    painters.sheet.setRenderHint(QPainter::TextAntialiasing, true);
}

void KeyOutsideMask(QImage& sheet, const QImage& mask) {
    const QRgb key = kKey.rgb();
    for (int y = 0; y < sheet.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(sheet.scanLine(y));
        const auto* inside = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < sheet.width(); ++x)
            if (qRed(inside[x]) == 0)
                row[x] = key;
    }
}

QPointF OnCircle(const QPointF& centre, double radius, double angle) {
    return centre + QPointF(radius * std::sin(angle), -radius * std::cos(angle));
}

void DrawDial(SheetPainters& painters, const QRect& box) {
    QPainter& painter = painters.sheet;
    const QPointF centre = QRectF(box).center();
    const double r = box.width() / 2.0;
    FillCrisp(painters, box, true);

    // A bevelled bezel: lit from the top left.
    QLinearGradient bezel(box.topLeft(), box.bottomRight());
    bezel.setColorAt(0.0, kBezelLight);
    bezel.setColorAt(1.0, kBezelDark);
    painter.setBrush(bezel);
    painter.drawEllipse(centre, r - 1.5, r - 1.5);
    painter.setBrush(kEdge);
    painter.drawEllipse(centre, r * 0.925, r * 0.925);

    QRadialGradient face(centre, r * 0.91, centre - QPointF(r * 0.15, r * 0.2));
    face.setColorAt(0.0, kDialCentre);
    face.setColorAt(1.0, kDialRim);
    painter.setBrush(face);
    painter.drawEllipse(centre, r * 0.91, r * 0.91);

    // Minute track: a thin circle with sixty ticks, longer and heavier at the hours.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kInk, std::max(0.8, r * 0.006)));
    painter.drawEllipse(centre, r * 0.855, r * 0.855);
    for (int tick = 0; tick < 60; ++tick) {
        const bool hour = tick % 5 == 0;
        const double angle = tick * std::numbers::pi / 30;
        painter.setPen(QPen(kInk, hour ? r * 0.028 : r * 0.009, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(OnCircle(centre, r * 0.855, angle),
                         OnCircle(centre, r * (hour ? 0.75 : 0.805), angle));
    }

    QFont numerals(QStringLiteral("DejaVu Sans"));
    numerals.setPixelSize(std::max(9, int(std::lround(r * 0.16))));
    numerals.setWeight(QFont::DemiBold);
    painter.setFont(numerals);
    painter.setPen(kInk);
    const double side = r * 0.3;
    for (int hour = 1; hour <= 12; ++hour) {
        const QPointF at = OnCircle(centre, r * 0.6, hour * std::numbers::pi / 6);
        painter.drawText(QRectF(at.x() - side / 2, at.y() - side / 2, side, side), Qt::AlignCenter,
                         QString::number(hour));
    }

    QFont brand(QStringLiteral("DejaVu Sans"));
    brand.setPixelSize(std::max(7, int(std::lround(r * 0.068))));
    brand.setLetterSpacing(QFont::AbsoluteSpacing, r * 0.012);
    painter.setFont(brand);
    painter.setPen(QColor(0x6B, 0x6F, 0x75));
    painter.drawText(QRectF(centre.x() - r * 0.5, centre.y() - r * 0.42, r, r * 0.12),
                     Qt::AlignCenter, QStringLiteral("MAROVELLASTRINE"));
}

void DrawHub(SheetPainters& painters, const QRect& box) {
    QPainter& painter = painters.sheet;
    const QPointF centre = QRectF(box).center();
    const double r = box.width() / 2.0;
    FillCrisp(painters, box, true);
    QRadialGradient cap(centre, r, centre - QPointF(r * 0.35, r * 0.35));
    cap.setColorAt(0.0, QColor(0x5C, 0x62, 0x69));
    cap.setColorAt(1.0, QColor(0x1C, 0x1F, 0x23));
    painter.setBrush(cap);
    painter.drawEllipse(centre, r - 1, r - 1);
    painter.setBrush(kAccent);
    painter.drawEllipse(centre, r * 0.38, r * 0.38);
}

void DrawBadge(SheetPainters& painters, const QRect& box) {
    QPainter& painter = painters.sheet;
    const double h = box.height();
    FillCrisp(painters, box, false, h / 2);
    painter.setBrush(QColor(0x2A, 0x31, 0x3A));
    painter.drawRoundedRect(QRectF(box).adjusted(1, 1, -1, -1), h / 2 - 1, h / 2 - 1);

    // A satellite fix light with its signal arcs.
    const QPointF light(box.left() + h * 0.55, box.top() + h / 2.0);
    painter.setBrush(kSignal);
    painter.drawEllipse(light, h * 0.16, h * 0.16);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kSignal, std::max(1.0, h * 0.07), Qt::SolidLine, Qt::RoundCap));
    for (double radius : {h * 0.3, h * 0.44}) {
        const QRectF arc(light.x() - radius, light.y() - radius, 2 * radius, 2 * radius);
        painter.drawArc(arc, -45 * 16, 90 * 16);
    }

    QFont label(QStringLiteral("DejaVu Sans"));
    label.setPixelSize(std::max(8, int(std::lround(h * 0.6))));
    label.setBold(true);
    label.setLetterSpacing(QFont::AbsoluteSpacing, h * 0.04);
    painter.setFont(label);
    painter.setPen(kBadgeText);
    painter.drawText(QRectF(box.left() + h * 1.05, box.top(), box.width() - h * 1.35, h),
                     Qt::AlignCenter, QStringLiteral("GPS"));
}

} // namespace

SheetLayout LayoutSheet(int dialSize) {
    const double scale = dialSize / 240.0;
    const int margin = 4;
    const int hub = int(std::lround(18 * scale));
    const QSize badge(int(std::lround(50 * scale)), int(std::lround(18 * scale)));
    SheetLayout layout;
    layout.dial = QRect(0, 0, dialSize, dialSize);
    layout.hub = QRect(dialSize + margin, margin, hub, hub);
    layout.badge = QRect(QPoint(dialSize + margin, 2 * margin + hub), badge);
    layout.sheet = QSize(dialSize + 2 * margin + std::max(hub, badge.width()), dialSize);
    return layout;
}

QImage DrawFaceSheet(int dialSize) {
    const SheetLayout layout = LayoutSheet(dialSize);
    QImage sheet(layout.sheet, QImage::Format_RGB32);
    sheet.fill(kKey);
    QImage mask(layout.sheet, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter sheetPainter(&sheet);
        QPainter maskPainter(&mask);
        SheetPainters painters{sheetPainter, maskPainter};
        DrawDial(painters, layout.dial);
        DrawHub(painters, layout.hub);
        DrawBadge(painters, layout.badge);
    }
    KeyOutsideMask(sheet, mask);
    return sheet;
}

} // namespace mv
