#pragma once
// Puts the clock's pixels straight into its X11 window through an X connection of our own: one
// image request per repaint and no round trip. Qt's repaint path waits for the X server on every
// frame, which costs several times what the clock's own drawing does.

#include "platform/direct_presenter.h"
#include "platform/pixel_rows.h"

#include <cstdint>
#include <memory>

namespace mv {

struct X11Connection;

class X11Presenter final : public DirectPresenter {
public:
    X11Presenter();
    ~X11Presenter() override;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // Connects for the native window `windowId`. False when the program doesn't run on X11 or
    // the window's pixel format isn't 32 bits per pixel in the machine's byte order; the caller
    // then keeps painting through Qt.
    bool Open(uintptr_t windowId);

    // Copies `region` (device pixels) of `source` to the same place of the window, in one go.
    void Present(const QImage& source, const QRegion& region) override;

private:
    std::unique_ptr<X11Connection> connection_;
};

} // namespace mv
