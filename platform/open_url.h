#pragma once
// Opening an address (a web page, or the help page as a file address) with the desktop's handler,
// normally the browser.

#include <QUrl>
#include <functional>

namespace mv {

// Hands the address to the desktop; false when nothing could open it.
bool OpenExternalUrl(const QUrl& url);

// Tests: every later address goes to `opener` instead of the desktop, and its result is the
// result. An empty opener restores the desktop.
void SetExternalUrlOpener(std::function<bool(const QUrl&)> opener);

} // namespace mv
