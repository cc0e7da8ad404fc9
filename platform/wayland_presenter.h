#pragma once
// Puts the clock's pixels on screen under Wayland from buffers of our own in shared memory, on a
// surface of our own placed over the face's area of the main window's surface (a subsurface that
// takes no input, so taps still reach the window). Each frame's changed bands are copied into a
// buffer the compositor has released, marked as damage and committed at once; while the
// compositor hasn't shown a commit that asked for a frame callback (asked every two seconds),
// further changes gather and go with the next one, so frames don't pile up behind a surface that
// isn't being shown. Qt's painting path, by comparison, costs
// the client several times the clock's own drawing.

#include "platform/direct_presenter.h"

#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

struct wl_buffer;
struct wl_buffer_listener;
struct wl_callback;
struct wl_callback_listener;
struct wl_shm;
struct wl_subsurface;
struct wl_surface;

namespace mv {

class WaylandGlobals;

class WaylandPresenter final : public DirectPresenter {
public:
    // For the widget `face`, whose top-level window must have its native window already. Null
    // off Wayland. Frames wait until the compositor has announced its globals, which is read
    // from the event loop.
    static std::unique_ptr<WaylandPresenter> Open(QWidget* face);
    ~WaylandPresenter() override;
    WaylandPresenter(const WaylandPresenter&) = delete;
    WaylandPresenter& operator=(const WaylandPresenter&) = delete;

    void Present(const QImage& source, const QRegion& region) override;

    struct Buffer;

private:
    explicit WaylandPresenter(QWidget* face);
    void MakeSurface();
    bool MakeBuffers(QSize size);
    void ReleaseMapping();
    void Commit();
    static void OnFrameDone(void* data, wl_callback* callback, uint32_t time);
    static void OnBufferReleased(void* data, wl_buffer* buffer);
    static const wl_callback_listener kFrameListener;
    static const wl_buffer_listener kBufferListener;

    QPointer<QWidget> face_;
    wl_surface* parent_ = nullptr; // the main window's, Qt's
    std::unique_ptr<WaylandGlobals> globals_;
    wl_shm* shm_ = nullptr; // these three once the compositor has announced its globals
    wl_surface* surface_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    std::array<std::unique_ptr<Buffer>, 2> buffers_;
    uint32_t* mapping_ = nullptr; // the buffers' memory
    size_t mappingBytes_ = 0;
    QSize size_;              // of the buffers, in device pixels
    int scale_ = 0;           // the surface's buffer scale last set
    QPoint position_{-1, -1}; // on the main window's surface, last set
    const QImage* source_ = nullptr;
    QRegion pending_;              // changed since the last commit
    wl_callback* frame_ = nullptr; // the last frame callback asked for, until it is done
    std::chrono::steady_clock::time_point lastFrameProbe_;
    static constexpr std::chrono::milliseconds kFrameProbeInterval{2000};
};

} // namespace mv
