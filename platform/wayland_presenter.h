#pragma once
// Puts the clock's pixels on its Wayland surface from buffers of our own in shared memory. Each
// frame's changed bands are copied into a buffer the compositor has released, marked as damage
// and committed at once; while the compositor hasn't shown the last commit (its frame callback),
// further changes gather and go with the next one, so no frame waits behind another. Qt's
// painting path, by comparison, costs the client several times the clock's own drawing.

#include "platform/direct_presenter.h"

#include <QRegion>
#include <QSize>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class QWindow;
struct wl_buffer;
struct wl_buffer_listener;
struct wl_callback;
struct wl_callback_listener;
struct wl_shm;
struct wl_surface;

namespace mv {

class WaylandPresenter final : public DirectPresenter {
public:
    // For the native window `window`, which must have a surface of its own that Qt paints
    // nothing into. Null off Wayland or without shared memory.
    static std::unique_ptr<WaylandPresenter> Open(QWindow* window);
    ~WaylandPresenter() override;
    WaylandPresenter(const WaylandPresenter&) = delete;
    WaylandPresenter& operator=(const WaylandPresenter&) = delete;

    void Present(const QImage& source, const QRegion& region) override;

    struct Buffer;

private:
    WaylandPresenter(QWindow* window, wl_surface* surface, wl_shm* shm);
    bool MakeBuffers(QSize size);
    void ReleaseMapping();
    void Commit();
    static void OnFrameDone(void* data, wl_callback* callback, uint32_t time);
    static void OnBufferReleased(void* data, wl_buffer* buffer);
    static const wl_callback_listener kFrameListener;
    static const wl_buffer_listener kBufferListener;

    QWindow* window_;
    wl_surface* surface_;
    wl_shm* shm_;
    std::array<std::unique_ptr<Buffer>, 2> buffers_;
    uint32_t* mapping_ = nullptr; // the buffers' memory
    size_t mappingBytes_ = 0;
    QSize size_;    // of the buffers, in device pixels
    int scale_ = 0; // the surface's buffer scale last set
    const QImage* source_ = nullptr;
    QRegion pending_;              // changed since the last commit
    wl_callback* frame_ = nullptr; // the last commit's frame callback, until it is done
};

} // namespace mv
