#pragma once
// The window manager's close request for a window that a modal dialog of the program blocks.
// Qt drops such a request; the program still wants it (its main window closes its open dialogs
// first, then itself), so on X11 the request is caught before Qt sees it and handed over.

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace mv {

class BlockedCloseRequestFilter : public QAbstractNativeEventFilter {
public:
    // Watches `window` for as long as this filter lives; `onClose` runs from the event loop when
    // its close request arrives while a modal dialog blocks it. Does nothing off X11.
    BlockedCloseRequestFilter(QWidget* window, std::function<void()> onClose);
    ~BlockedCloseRequestFilter() override;
    BlockedCloseRequestFilter(const BlockedCloseRequestFilter&) = delete;
    BlockedCloseRequestFilter& operator=(const BlockedCloseRequestFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QPointer<QWidget> window_;
    std::function<void()> onClose_;
    uint32_t protocolsAtom_ = 0;
    uint32_t deleteWindowAtom_ = 0;
    bool installed_ = false;
};

} // namespace mv
