#pragma once
// The main window's side of a frame: mark a region invalid without erasing it, and paint what is
// invalid at once. Regions are in device pixels, the back buffer's coordinates. On a widget these
// become update() and repaint(); tests and tools put a recorder in the widget's place.

#include "platform/direct_presenter.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace mv {

// Collects what the frames ask of the window, in order.
struct PaintRecorder {
    std::vector<QRegion> invalidations; // one entry per request to mark a region invalid
    int paintsNow = 0;                  // requests to paint at once
    // Called with each invalidated region, while the back buffer holds the pass that made it.
    std::function<void(const QRegion&)> onInvalidate;
};

struct WindowPaint {
    QPointer<QWidget> widget;          // the main window, once it exists
    PaintRecorder* recorder = nullptr; // not owned
    QRegion invalid;                   // marked on the widget and not painted yet
    // On X11 and Wayland, the pixels go straight to the window: an invalidated region is shown at
    // once from `source` (the back buffer) instead of waiting for Qt's repaint.
    std::unique_ptr<DirectPresenter> presenter;
    const QImage* source = nullptr; // not owned
};

// Marks region invalid without erasing the background.
void InvalidateWindowRegion(WindowPaint& window, const QRegion& region);

// Paints whatever is invalid now, before returning.
void PaintInvalidNow(WindowPaint& window);

// The widget's paint handling has painted everything that was invalid.
void WindowPainted(WindowPaint& window);

} // namespace mv
