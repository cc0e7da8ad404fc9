#include "app/run_program.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "app/user_install.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "skin/skin_loader.h"
#include "skin/skin_picker.h"

#include <memory>

namespace mv {

namespace {

constexpr char16_t kInstanceLockName[] = u"_TEV_APPLICATION_TEMPLATE_EXE_MUTEX_";

} // namespace

bool LoadStartupSkin(AppState& state, const SkinPicker& pickSkin) {
    Settings& settings = state.settings;
    for (;;) {
        if (settings.SkinPath) {
            QString message;
            SkinLoadFailure failure;
            if (!FileExists(*settings.SkinPath)) {
                // The path stays, so the picker can start near where the file was.
                message = QStringLiteral("Current skin file is missing.\n\nSelect another file...");
            } else if (LoadSkin(*settings.SkinPath, settings, state.skin, state.handRenderer,
                                failure)) {
                return true;
            } else {
                settings.SkinPath.reset();
                message = SkinLoadFailureMessage(failure);
            }
            ShowMessageBox(nullptr, message, MessageIcon::Exclamation);
        }
        if (!pickSkin(state, nullptr)) {
            settings.SkinPath.reset();
            return false;
        }
        SaveSettings(settings);
    }
}

int RunProgram() {
    const SingleInstanceLock instanceLock(kInstanceLockName);
    switch (instanceLock.State()) {
    case InstanceLockState::Unavailable:
        return 0;
    case InstanceLockState::HeldByAnother:
        AskRunningInstanceToRaise(kInstanceLockName, kProgramTitle);
        return 0;
    case InstanceLockState::Held:
        break;
    }

    const auto state = std::make_unique<AppState>(); // all zero; gpsLock is made with it
    InstallPerUserFiles();
    LoadSettings(state->settings);
    if (LoadStartupSkin(*state, PickSkin))
        RunMainWindow(*state); // its result is not used
    else
        ReleaseSkin(state->skin, state->handRenderer); // what a failed load left behind

    state->boldFont.reset();
    state->settings.SkinPath.reset();
    return 0;
}

} // namespace mv
