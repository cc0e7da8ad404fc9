#include "skin/change_skin.h"

#include "app/settings.h"
#include "clock/frame.h"
#include "platform/message_box.h"
#include "skin/skin_loader.h"
#include "skin/skin_picker.h"

#include <QCoreApplication>

namespace mv {

namespace {

bool LoadSkinAtSkinPath(AppState& state) {
    const QString path = state.settings.SkinPath.value_or(QString());
    return !path.isEmpty() && LoadSkin(path, state.settings, state.skin, state.handRenderer);
}

} // namespace

void ChangeSkin(AppState& state, QWidget* owner, bool reloadCurrent) {
    // The stored path is the loaded skin's from here on, so a failed load can go back to it.
    SaveSettings(state.settings);
    bool previousReloaded = true;
    for (;;) {
        if (!reloadCurrent && !PickSkin(state, owner))
            break;
        if (LoadSkinAtSkinPath(state)) {
            SaveSettings(state.settings);
            if (!reloadCurrent)
                DrawFullFrame(state);
            return;
        }
        ShowMessageBox(owner, QStringLiteral("Error loading skin file.\n\nSelect another file..."),
                       MessageIcon::Exclamation);
        LoadSettings(state.settings);
        previousReloaded = LoadSkinAtSkinPath(state);
        // Reloading the current skin would only fail the same way again, without end.
        if (reloadCurrent && !previousReloaded)
            break;
    }
    if (!previousReloaded)
        QCoreApplication::exit(0); // no usable skin is left in memory
}

} // namespace mv
