#pragma once
// Something that shows regions of the back buffer on the clock's window without Qt's repaint
// path: the X11 presenter on X11, the Wayland presenter on Wayland.

#include <QImage>
#include <QRegion>

namespace mv {

class DirectPresenter {
public:
    virtual ~DirectPresenter() = default;

    // Shows `region` (device pixels) of `source` at the same place of the window. `source` must
    // stay alive as long as the presenter: a presenter that must wait for the display server may
    // show the region, from `source` as it is then, later.
    virtual void Present(const QImage& source, const QRegion& region) = 0;
};

} // namespace mv
