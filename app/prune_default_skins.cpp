#include "app/prune_default_skins.h"

#include "app/settings.h"
#include "platform/delete_file.h"
#include "platform/screen.h"

#include <array>

namespace mv {

namespace {

struct DefaultSkin {
    const char* name;
    uint32_t sizeClass;
};

constexpr std::array<DefaultSkin, 3> kDefaultSkins{{
    {"default_240.scs", 240},
    {"default_320.scs", 320},
    {"default_480.scs", 480},
}};

// The screen's own class is kept; a square screen also keeps the class just below its own.
bool KeepsDefaultSkin(uint32_t sizeClass, uint32_t screenClass, bool square) {
    if (sizeClass == screenClass)
        return true;
    return square &&
           ((screenClass == 320 && sizeClass == 240) || (screenClass == 480 && sizeClass == 320));
}

} // namespace

void PruneDefaultSkins() {
    QString folder;
    if (!FindSkinsFolder(folder))
        return;
    const ScreenSize screen = ReadScreenSize();
    const uint32_t screenClass = SizeClass(screen.width, screen.height);
    const bool square = screen.width == screen.height;
    for (const DefaultSkin& skin : kDefaultSkins) {
        if (!KeepsDefaultSkin(skin.sizeClass, screenClass, square))
            DeleteFile(folder + QLatin1String(skin.name));
    }
}

} // namespace mv
