// A picture of the clock as a default skin shows it, for the documentation: the dial and badge
// copied without the key colour, the hands' shadows blended, the hands, and the hub on top.
#include "tools/skin-generator/default_skin.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace mv {

namespace {

QRect ToQRect(const Rect& rect) {
    return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

QImage WithoutKeyColor(const QImage& sprite, uint32_t keyColor) {
    QImage out = sprite.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = ToQColor(keyColor).rgb();
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((row[x] | 0xFF000000u) == key)
                row[x] = 0;
    }
    return out;
}

// The bar between the base and tip circles along their outer tangents, with its round caps.
QPainterPath ShapePath(const HandShape& shape, QPointF pivot, double angle) {
    const QPointF axis(std::sin(angle), -std::cos(angle));
    const QPointF base = pivot + axis * shape.baseDistance;
    const QPointF tip = pivot + axis * shape.tipDistance;
    const double rb = shape.baseHalfWidth;
    const double rt = shape.tipHalfWidth;
    QPainterPath path;
    const QPointF along = tip - base;
    const double length = std::hypot(along.x(), along.y());
    if (length > std::abs(rb - rt)) {
        const double sine = (rb - rt) / length;
        const double cosine = std::sqrt(1 - sine * sine);
        const QPointF u = along / length;
        const QPointF v(-u.y(), u.x());
        const QPointF left = u * sine + v * cosine;
        const QPointF right = u * sine - v * cosine;
        path.addPolygon(QPolygonF{base + left * rb, tip + left * rt, tip + right * rt,
                                  base + right * rb, base + left * rb});
    }
    // United rather than added: overlapping parts of opposite direction would leave holes.
    const auto disc = [](QPointF centre, double radius) {
        QPainterPath circle;
        circle.addEllipse(centre, radius, radius);
        return circle;
    };
    if ((shape.capFlags & kCapBase) != 0 && rb > 1)
        path = path.united(disc(base, rb));
    if ((shape.capFlags & kCapTip) != 0 && rt > 1)
        path = path.united(disc(tip, rt));
    return path;
}

} // namespace

QImage RenderSkinPreview(const SkinParameters& p, const QImage& face) {
    const QRect dialRect = ToQRect(p.faceRect);
    const int margin = dialRect.width() / 12;
    QImage frame(dialRect.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    QPainter painter(&frame);
    QLinearGradient background(0, 0, 0, frame.height());
    background.setColorAt(0, ToQColor(p.backgroundTopColor));
    background.setColorAt(1, ToQColor(p.backgroundBottomColor));
    painter.fillRect(frame.rect(), background);

    const QPoint dialAt(margin, margin);
    painter.drawImage(dialAt, WithoutKeyColor(face.copy(dialRect), p.keyColor));
    painter.drawImage(dialAt + QPoint(p.gpsIndicatorX, p.gpsIndicatorY),
                      WithoutKeyColor(face.copy(ToQRect(p.gpsIndicatorRect)), p.keyColor));

    const QPointF pivot = QPointF(dialAt) + QPointF(p.pivotOffsetX + dialRect.width() / 2,
                                                    p.pivotOffsetY + dialRect.height() / 2);
    const double pi = std::numbers::pi;
    const double angles[3] = {(10 + 8 / 60.0 + 36 / 3600.0) * pi / 6, (8 + 36 / 60.0) * pi / 30,
                              36 * pi / 30};
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QImage shadows(frame.size(), QImage::Format_ARGB32_Premultiplied);
    shadows.fill(Qt::transparent);
    {
        QPainter shadowPainter(&shadows);
        shadowPainter.setRenderHint(QPainter::Antialiasing);
        for (int hand = 0; hand < 3; ++hand) {
            const HandStyle& style = p.hands[hand];
            const QPointF offset(style.shadowOffset, style.shadowOffset);
            shadowPainter.fillPath(ShapePath(style.main, pivot + offset, angles[hand]), Qt::black);
        }
        const QRectF hub =
            QRectF(ToQRect(p.hubRect)).translated(-QRectF(ToQRect(p.hubRect)).center());
        shadowPainter.setBrush(Qt::black);
        shadowPainter.drawEllipse(
            hub.translated(pivot + QPointF(p.hubShadowOffset, p.hubShadowOffset)));
    }
    painter.setOpacity((p.shadowAlpha & 0xFF) / 255.0);
    painter.drawImage(0, 0, shadows);
    painter.setOpacity(1);

    for (int hand = 0; hand < 3; ++hand) {
        const HandStyle& style = p.hands[hand];
        painter.fillPath(ShapePath(style.main, pivot, angles[hand]), ToQColor(style.main.color));
        if (style.overlay.tipDistance != 0)
            painter.fillPath(ShapePath(style.overlay, pivot, angles[hand]),
                             ToQColor(style.overlay.color));
    }
    const QRect hub = ToQRect(p.hubRect);
    painter.drawImage(QPointF(pivot.x() - hub.width() / 2, pivot.y() - hub.height() / 2).toPoint(),
                      WithoutKeyColor(face.copy(hub), p.keyColor));
    return frame;
}

} // namespace mv
