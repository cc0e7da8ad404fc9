#include "clock/clock_face_widget.h"

#include "clock/frame.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRectF>

namespace mv {

ClockFaceWidget::ClockFaceWidget(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state) {
    // Every pixel comes from the back buffer: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ClockFaceWidget::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    const QRect logical = event->rect();
    const QRect device = QRectF(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio,
                                logical.height() * ratio)
                             .toAlignedRect();
    QPainter painter(this);
    PresentBackBuffer(
        state_, painter,
        {device.x(), device.y(), device.x() + device.width(), device.y() + device.height()});
    WindowPainted(state_.windowPaint);
}

} // namespace mv
