#pragma once
// The window system's close request for a window that a modal dialog of the program blocks.
// Qt drops such a request; the program still wants it (its main window closes its open dialogs
// first, then itself), so the request is caught before Qt sees it and handed over. Works the
// same on X11, Wayland and every other window system Qt reports close requests for.

#include <functional>
#include <memory>

class QWidget;

namespace mv {

class BlockedCloseRequestFilter {
public:
    // Watches `window` for as long as this filter lives; `onClose` runs from the event loop when
    // its close request arrives while a modal dialog blocks it.
    BlockedCloseRequestFilter(QWidget* window, std::function<void()> onClose);
    ~BlockedCloseRequestFilter();
    BlockedCloseRequestFilter(const BlockedCloseRequestFilter&) = delete;
    BlockedCloseRequestFilter& operator=(const BlockedCloseRequestFilter&) = delete;

    struct Handler;

private:
    std::unique_ptr<Handler> handler_;
};

} // namespace mv
