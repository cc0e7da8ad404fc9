#include "clock/clock_face_widget.h"

#include "clock/frame.h"
#include "platform/wayland_presenter.h"
#include "platform/x11_presenter.h"

#include <QGuiApplication>
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

void ClockFaceWidget::UseDirectPresentation() {
    state_.windowPaint.source = &state_.backBuffer.bitmap;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb") {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        auto x11 = std::make_unique<X11Presenter>();
        if (x11->Open(winId()))
            state_.windowPaint.presenter = std::move(x11);
    } else if (platform.startsWith(u"wayland")) {
        // The presenter shows the face on a surface of its own over the window's; what Qt
        // keeps of the face's area in the window's own buffer is never seen.
        window()->winId();
        state_.windowPaint.presenter = WaylandPresenter::Open(this);
        return;
    }
    if (state_.windowPaint.presenter == nullptr)
        setAttribute(Qt::WA_PaintOnScreen, false);
}

QPaintEngine* ClockFaceWidget::paintEngine() const {
    // Painted on screen by the presenter: Qt gets no engine and keeps no backing store for it.
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
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
    if (state_.windowPaint.presenter != nullptr) {
        state_.windowPaint.presenter->Present(state_.backBuffer.bitmap, device);
        WindowPainted(state_.windowPaint);
        return;
    }
    QPainter painter(this);
    PresentBackBuffer(
        state_, painter,
        {device.x(), device.y(), device.x() + device.width(), device.y() + device.height()});
    WindowPainted(state_.windowPaint);
}

} // namespace mv
