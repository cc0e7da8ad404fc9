#include "platform/wayland_presenter.h"

#include "platform/pixel_rows.h"
#include "platform/unique_fd.h"
#include "platform/wayland_client.h"

#include <QWindow>
#include <cmath>
#include <qpa/qplatformwindow.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace mv {

// One picture the compositor reads from directly: 32-bit XRGB in the memory both sides map.
struct WaylandPresenter::Buffer {
    wl_buffer* buffer = nullptr;
    uint32_t* pixels = nullptr; // inside the presenter's mapping
    int stride = 0;             // in pixels
    bool busy = false;          // attached, and not released by the compositor yet
    QRegion stale;              // where it differs from the back buffer

    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() {
        if (buffer != nullptr)
            wl_buffer_destroy(buffer);
    }
};

const wl_callback_listener WaylandPresenter::kFrameListener = {&WaylandPresenter::OnFrameDone};
const wl_buffer_listener WaylandPresenter::kBufferListener = {&WaylandPresenter::OnBufferReleased};

namespace {

// The compositor's scale for the main window's surface: whole numbers only; Qt scales by
// fractions on our side, in the device pixels the back buffer already has.
int SurfaceScale(const QWidget& face) {
    const QWindow* window = face.window()->windowHandle();
    const QPlatformWindow* platformWindow = window != nullptr ? window->handle() : nullptr;
    const int scale =
        platformWindow != nullptr ? int(std::lround(platformWindow->devicePixelRatio())) : 1;
    return scale < 1 ? 1 : scale;
}

// `value` rounded up to a multiple of `step`: a buffer's sides must be multiples of its scale.
int RoundUp(int value, int step) {
    return (value + step - 1) / step * step;
}

} // namespace

std::unique_ptr<WaylandPresenter> WaylandPresenter::Open(QWidget* face) {
    wl_display* display = QtWaylandDisplay();
    wl_surface* parent = QtWaylandSurface(face->window()->windowHandle());
    if (display == nullptr || parent == nullptr)
        return nullptr;
    std::unique_ptr<WaylandPresenter> presenter(new WaylandPresenter(face));
    presenter->parent_ = parent;
    WaylandPresenter* self = presenter.get();
    presenter->globals_ = WaylandGlobals::Listen(display, [self] { self->MakeSurface(); });
    return presenter;
}

WaylandPresenter::WaylandPresenter(QWidget* face) : face_(face) {}

void WaylandPresenter::MakeSurface() {
    auto* compositor = static_cast<wl_compositor*>(globals_->Bind(wl_compositor_interface, 4));
    auto* subcompositor =
        static_cast<wl_subcompositor*>(globals_->Bind(wl_subcompositor_interface, 1));
    shm_ = static_cast<wl_shm*>(globals_->Bind(wl_shm_interface, 1));
    if (compositor != nullptr && subcompositor != nullptr && shm_ != nullptr) {
        surface_ = wl_compositor_create_surface(compositor);
        // No input region: taps go through to the main window below.
        wl_region* nothing = wl_compositor_create_region(compositor);
        wl_surface_set_input_region(surface_, nothing);
        wl_region_destroy(nothing);
        subsurface_ = wl_subcompositor_get_subsurface(subcompositor, surface_, parent_);
        wl_subsurface_set_desync(subsurface_);
        wl_subsurface_place_above(subsurface_, parent_);
        // The place takes effect with the main window's next commit: have Qt paint it once.
        face_->window()->update();
    }
    if (compositor != nullptr)
        wl_compositor_destroy(compositor);
    if (subcompositor != nullptr)
        wl_subcompositor_destroy(subcompositor);
    Commit();
}

WaylandPresenter::~WaylandPresenter() {
    if (frame_ != nullptr)
        wl_callback_destroy(frame_);
    for (auto& buffer : buffers_)
        buffer.reset();
    ReleaseMapping();
    if (subsurface_ != nullptr)
        wl_subsurface_destroy(subsurface_);
    if (surface_ != nullptr)
        wl_surface_destroy(surface_);
    if (shm_ != nullptr)
        wl_shm_destroy(shm_);
    if (wl_display* display = QtWaylandDisplay())
        wl_display_flush(display);
}

bool WaylandPresenter::MakeBuffers(QSize size) {
    for (auto& buffer : buffers_)
        buffer.reset();
    ReleaseMapping();
    size_ = QSize();
    const size_t stride = size_t(size.width());
    const size_t bytesEach = stride * size_t(size.height()) * sizeof(uint32_t);
    const size_t bytes = bytesEach * buffers_.size();
    UniqueFd memory(memfd_create("marovellastrine-face", MFD_CLOEXEC));
    if (!memory.IsValid() || ftruncate(memory.Get(), off_t(bytes)) != 0)
        return false;
    void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memory.Get(), 0);
    if (mapping == MAP_FAILED)
        return false;
    mapping_ = static_cast<uint32_t*>(mapping);
    mappingBytes_ = bytes;
    wl_shm_pool* pool = wl_shm_create_pool(shm_, memory.Get(), int32_t(bytes));
    for (size_t index = 0; index < buffers_.size(); ++index) {
        auto buffer = std::make_unique<Buffer>();
        buffer->pixels = mapping_ + index * bytesEach / sizeof(uint32_t);
        buffer->stride = int(stride);
        buffer->buffer =
            wl_shm_pool_create_buffer(pool, int32_t(bytesEach * index), size.width(), size.height(),
                                      int32_t(stride * 4), WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(buffer->buffer, &kBufferListener, this);
        buffer->stale = QRegion(0, 0, size.width(), size.height());
        buffers_[index] = std::move(buffer);
    }
    wl_shm_pool_destroy(pool); // the buffers keep the memory
    size_ = size;
    return true;
}

void WaylandPresenter::ReleaseMapping() {
    if (mapping_ != nullptr)
        munmap(mapping_, mappingBytes_);
    mapping_ = nullptr;
    mappingBytes_ = 0;
}

void WaylandPresenter::Present(const QImage& source, const QRegion& region) {
    source_ = &source;
    pending_ += region.intersected(source.rect());
    Commit();
}

void WaylandPresenter::Commit() {
    if (surface_ == nullptr || face_ == nullptr || source_ == nullptr || source_->isNull() ||
        pending_.isEmpty() || frame_ != nullptr)
        return;
    const QImage& source = *source_;
    const int scale = SurfaceScale(*face_);
    const QSize size(RoundUp(source.width(), scale), RoundUp(source.height(), scale));
    // Where the face lies on the main window's surface, in its coordinates; applied with the
    // main window's next commit.
    const QPoint position =
        face_->mapTo(face_->window(), QPoint(0, 0)) * face_->devicePixelRatioF() / qreal(scale);
    if (position != position_) {
        wl_subsurface_set_position(subsurface_, position.x(), position.y());
        position_ = position;
    }
    if (size != size_ || scale != scale_) {
        if (!MakeBuffers(size))
            return; // no memory: the pending region waits for the next frame
        wl_surface_set_buffer_scale(surface_, scale);
        scale_ = scale;
        pending_ = QRegion(source.rect());
    }
    Buffer* target = nullptr;
    for (auto& buffer : buffers_) {
        buffer->stale += pending_;
        if (target == nullptr && !buffer->busy)
            target = buffer.get();
    }
    if (target == nullptr)
        return; // both on screen: the next release commits
    for (const QRect& part : target->stale.intersected(source.rect())) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            uint32_t* row = target->pixels + size_t(y) * size_t(target->stride) + part.left();
            ConvertRowToRgb32(source, y, part.left(), part.width(), row);
            // The unused byte set, as the compositor may copy it into an output that keeps it
            // (screenshots, remote desktops), where zero would read as transparent.
            for (int x = 0; x < part.width(); ++x)
                row[x] |= 0xFF000000u;
        }
    }
    target->stale = QRegion();
    wl_surface_attach(surface_, target->buffer, 0, 0);
    const bool bufferDamage = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >=
                              WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION;
    for (const QRect& part : pending_) {
        if (bufferDamage) {
            wl_surface_damage_buffer(surface_, part.x(), part.y(), part.width(), part.height());
        } else {
            const int left = part.left() / scale, top = part.top() / scale;
            wl_surface_damage(surface_, left, top, (part.right() + scale) / scale - left,
                              (part.bottom() + scale) / scale - top);
        }
    }
    // A frame callback on every commit costs the client more than the frame itself (the
    // compositor's answer wakes Qt's reading threads and main loop once more per frame). Asked
    // for now and then, it still tells whether the surface is being shown: while it is
    // outstanding (a hidden window, a screen switched off) nothing more is committed.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFrameProbe_ >= kFrameProbeInterval) {
        frame_ = wl_surface_frame(surface_);
        wl_callback_add_listener(frame_, &kFrameListener, this);
        lastFrameProbe_ = now;
    }
    wl_surface_commit(surface_);
    target->busy = true;
    pending_ = QRegion();
    wl_display_flush(QtWaylandDisplay());
}

void WaylandPresenter::OnFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto& presenter = *static_cast<WaylandPresenter*>(data);
    wl_callback_destroy(callback);
    presenter.frame_ = nullptr;
    presenter.Commit();
}

void WaylandPresenter::OnBufferReleased(void* data, wl_buffer* released) {
    auto& presenter = *static_cast<WaylandPresenter*>(data);
    for (auto& buffer : presenter.buffers_) {
        if (buffer != nullptr && buffer->buffer == released)
            buffer->busy = false;
    }
    presenter.Commit();
}

} // namespace mv
