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

void ClockFaceWidget::FaceSizeChanged() {
    // Size notifications that arrive before the clock runs are ignored.
    if (state_.mainWindow == nullptr)
        return;
    const qreal ratio = devicePixelRatioF();
    ResizeBackBuffer(state_, int32_t(width() * ratio + 0.5), int32_t(height() * ratio + 0.5));
}

void ClockFaceWidget::resizeEvent(QResizeEvent*) {
    FaceSizeChanged();
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
