#include "app/prune_default_skins.h"

#include "app/settings.h"
#include "platform/delete_file.h"
#include "platform/screen.h"

#include <algorithm>
#include <iterator>

namespace mv {

namespace {

// The screen's own class is kept; a square screen also keeps the class just below its own.
bool KeepsDefaultSkin(size_t skinClass, size_t screenClass, bool square) {
    return skinClass == screenClass || (square && skinClass + 1 == screenClass);
}

} // namespace

void PruneDefaultSkins() {
    QString folder;
    if (!FindSkinsFolder(folder))
        return;
    const ScreenSize screen = ReadScreenSize();
    const auto screenClass = size_t(
        std::distance(kSizeClasses.begin(),
                      std::ranges::find(kSizeClasses, SizeClass(screen.width, screen.height))));
    const bool square = screen.width == screen.height;
    for (size_t skinClass = 0; skinClass < kSizeClasses.size(); ++skinClass) {
        if (!KeepsDefaultSkin(skinClass, screenClass, square))
            DeleteFile(folder + QString::asprintf("default_%u.scs", kSizeClasses[skinClass]));
    }
}

} // namespace mv
