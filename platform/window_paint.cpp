#include "platform/window_paint.h"

#include <QRectF>

namespace mv {

namespace {

// The logical pixels that cover a region of device pixels.
QRegion ToLogical(const QRegion& region, qreal devicePixelRatio) {
    if (devicePixelRatio == 1.0)
        return region;
    QRegion logical;
    for (const QRect& rect : region) {
        const QRectF scaled(rect.x() / devicePixelRatio, rect.y() / devicePixelRatio,
                            rect.width() / devicePixelRatio, rect.height() / devicePixelRatio);
        logical += scaled.toAlignedRect();
    }
    return logical;
}

} // namespace

void InvalidateWindowRegion(WindowPaint& window, const QRegion& region) {
    if (region.isEmpty())
        return;
    if (window.recorder != nullptr) {
        window.recorder->invalidations.push_back(region);
        if (window.recorder->onInvalidate)
            window.recorder->onInvalidate(region);
    }
    if (window.presenter != nullptr && window.source != nullptr) {
        window.presenter->Present(*window.source, region);
        return;
    }
    if (window.widget != nullptr) {
        window.invalid += region;
        window.widget->update(ToLogical(region, window.widget->devicePixelRatioF()));
    }
}

void PaintInvalidNow(WindowPaint& window) {
    if (window.recorder != nullptr)
        ++window.recorder->paintsNow;
    if (window.widget != nullptr && !window.invalid.isEmpty())
        window.widget->repaint(ToLogical(window.invalid, window.widget->devicePixelRatioF()));
    window.invalid = QRegion();
}

void WindowPainted(WindowPaint& window) {
    window.invalid = QRegion();
}

} // namespace mv
