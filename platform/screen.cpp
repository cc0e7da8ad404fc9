#include "platform/screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace mv {

namespace {

// Process-wide overrides set by tools and tests before the first read.
struct ScreenOverrides {
    int32_t dpiX = 0;
    int32_t dpiY = 0;
    int32_t width = 0;
    int32_t height = 0;
};

ScreenOverrides& Overrides() {
    static ScreenOverrides overrides;
    return overrides;
}

QScreen* PrimaryScreen() {
    if (QGuiApplication::instance() == nullptr)
        return nullptr;
    return QGuiApplication::primaryScreen();
}

} // namespace

ScreenSize ReadScreenSize() {
    if (Overrides().width > 0)
        return {Overrides().width, Overrides().height};
    QScreen* screen = PrimaryScreen();
    if (screen == nullptr)
        return {};
    const QSize logical = screen->size();
    const qreal ratio = screen->devicePixelRatio();
    return {int32_t(logical.width() * ratio + 0.5), int32_t(logical.height() * ratio + 0.5)};
}

int32_t ReadScreenDpiX() {
    if (Overrides().dpiX > 0)
        return Overrides().dpiX;
    QScreen* screen = PrimaryScreen();
    if (screen == nullptr)
        return -1;
    return int32_t(screen->logicalDotsPerInchX() * screen->devicePixelRatio() + 0.5);
}

int32_t ReadScreenDpiY() {
    if (Overrides().dpiY > 0)
        return Overrides().dpiY;
    QScreen* screen = PrimaryScreen();
    if (screen == nullptr)
        return -1;
    return int32_t(screen->logicalDotsPerInchY() * screen->devicePixelRatio() + 0.5);
}

void UseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void OverrideScreenDpi(int32_t horizontal, int32_t vertical) {
    Overrides().dpiX = horizontal;
    Overrides().dpiY = vertical;
}

void OverrideScreenSize(int32_t width, int32_t height) {
    Overrides().width = width;
    Overrides().height = height;
}

bool WindowSystemPlacesWindows() {
    return QGuiApplication::platformName().startsWith(u"wayland");
}

int32_t ScreenDpi(DpiAxis axis) {
    // Read once per process: a later change of the screen's resolution is not seen.
    static const int32_t horizontal = ReadScreenDpiX();
    static const int32_t vertical = ReadScreenDpiY();
    return axis == DpiAxis::Horizontal ? horizontal : vertical;
}

} // namespace mv
