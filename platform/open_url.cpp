#include "platform/open_url.h"

#include <QDesktopServices>
#include <utility>

namespace mv {

namespace {

std::function<bool(const QUrl&)>& Opener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

} // namespace

bool OpenExternalUrl(const QUrl& url) {
    if (Opener())
        return Opener()(url);
    return QDesktopServices::openUrl(url);
}

void SetExternalUrlOpener(std::function<bool(const QUrl&)> opener) {
    Opener() = std::move(opener);
}

} // namespace mv
