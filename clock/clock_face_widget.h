#pragma once
// The window area that shows the clock face: it paints only from the back buffer; the frames
// decide what is drawn and what is repainted.

#include "app/app_state.h"

#include <QWidget>

namespace mv {

class ClockFaceWidget : public QWidget {
public:
    explicit ClockFaceWidget(AppState& state, QWidget* parent = nullptr);

    // The back buffer follows the widget's size in device pixels, once the clock runs.
    void FaceSizeChanged();

    // On X11, hands the window to the platform's presenter so repaints go straight to the
    // screen; elsewhere (or when it can't), Qt keeps painting.
    void UseDirectPresentation();

    QPaintEngine* paintEngine() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    AppState& state_;
};

} // namespace mv
