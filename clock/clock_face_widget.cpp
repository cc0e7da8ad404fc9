#include "clock/clock_face_widget.h"

#include "platform/wayland_presenter.h"
#include "platform/x11_presenter.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRectF>

namespace mv {

ClockFaceWidget::ClockFaceWidget(FaceRenderer& face, QWidget* parent)
    : QWidget(parent), face_(face) {
    // Every pixel comes from the back buffer: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void ClockFaceWidget::UseDirectPresentation() {
    WindowPaint& paint = face_.Paint();
    paint.source = &face_.BackBuffer().bitmap;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb") {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        auto x11 = std::make_unique<X11Presenter>();
        if (x11->Open(winId()))
            paint.presenter = std::move(x11);
    } else if (platform.startsWith(u"wayland")) {
        // The presenter shows the face on a surface of its own over the window's; what Qt
        // keeps of the face's area in the window's own buffer is never seen.
        window()->winId();
        paint.presenter = WaylandPresenter::Open(this);
        return;
    }
    if (paint.presenter == nullptr)
        setAttribute(Qt::WA_PaintOnScreen, false);
}

QPaintEngine* ClockFaceWidget::paintEngine() const {
    // Painted on screen by the presenter: Qt gets no engine and keeps no backing store for it.
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
}

void ClockFaceWidget::FaceSizeChanged() {
    if (!onSizeChanged)
        return;
    const qreal ratio = devicePixelRatioF();
    onSizeChanged(int32_t(width() * ratio + 0.5), int32_t(height() * ratio + 0.5));
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
    WindowPaint& paint = face_.Paint();
    if (paint.presenter != nullptr) {
        paint.presenter->Present(face_.BackBuffer().bitmap, device);
        WindowPainted(paint);
        return;
    }
    QPainter painter(this);
    face_.PresentBackBuffer(painter, {device.x(), device.y(), device.x() + device.width(),
                                      device.y() + device.height()});
    WindowPainted(paint);
}

} // namespace mv
