#pragma once
// The window area that shows the clock face: it paints only from the face's back buffer; the
// frames decide what is drawn and what is repainted.

#include "clock/face_renderer.h"

#include <QWidget>
#include <cstdint>
#include <functional>

namespace mv {

class ClockFaceWidget : public QWidget {
public:
    explicit ClockFaceWidget(FaceRenderer& face, QWidget* parent = nullptr);

    // Told the widget's size in device pixels, so the back buffer can follow it once the clock
    // runs; size changes before it is set are ignored.
    std::function<void(int32_t width, int32_t height)> onSizeChanged;

    // Tells onSizeChanged the current size.
    void FaceSizeChanged();

    // On X11, hands the window to the platform's presenter so repaints go straight to the
    // screen; elsewhere (or when it can't), Qt keeps painting.
    void UseDirectPresentation();

    QPaintEngine* paintEngine() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    FaceRenderer& face_;
};

} // namespace mv
