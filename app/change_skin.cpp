#include "app/change_skin.h"

#include "app/clock_tick.h"
#include "app/settings.h"
#include "platform/message_box.h"
#include "skin/skin_loader.h"
#include "skin/skin_picker.h"

#include <QCoreApplication>

namespace mv {

namespace {

bool LoadSkinAtSkinPath(AppState& state, SkinLoadFailure& failure) {
    const QString path = state.settings.SkinPath.value_or(QString());
    if (path.isEmpty()) {
        failure = {SkinLoadError::File, {}};
        return false;
    }
    return state.face.LoadSkin(path, FaceOptionsOf(state.settings), failure);
}

} // namespace

void ChangeSkin(AppState& state, QWidget* owner, bool reloadCurrent) {
    // The stored path is the loaded skin's from here on, so a failed load can go back to it.
    SaveSettings(state.settings);
    bool previousReloaded = true;
    for (;;) {
        if (!reloadCurrent) {
            const std::optional<QString> picked = PickSkin(state.settings.SkinPath, owner);
            if (!picked)
                break;
            state.settings.SkinPath = DuplicateString(*picked, picked->size());
        }
        SkinLoadFailure failure;
        if (LoadSkinAtSkinPath(state, failure)) {
            SaveSettings(state.settings);
            if (!reloadCurrent)
                DrawFullClockFrame(state);
            return;
        }
        ShowMessageBox(owner, SkinLoadFailureMessage(failure), MessageIcon::Exclamation);
        LoadSettings(state.settings);
        SkinLoadFailure ignored;
        previousReloaded = LoadSkinAtSkinPath(state, ignored);
        // Reloading the current skin would only fail the same way again, without end.
        if (reloadCurrent && !previousReloaded)
            break;
    }
    if (!previousReloaded)
        QCoreApplication::exit(0); // no usable skin is left in memory
}

} // namespace mv
