#include "app/run_program.h"

#include "app/clock_tick.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/unsaved_settings.h"
#include "app/user_install.h"
#include "platform/file_write.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "skin/skin_loader.h"
#include "skin/skin_picker.h"

#include <cstdio>
#include <memory>

namespace mv {

namespace {

constexpr char16_t kInstanceLockName[] = u"_TEV_APPLICATION_TEMPLATE_EXE_MUTEX_";

// A first start without the default skins would open the picker with nothing to pick from.
void InstallDefaultSkins() {
    InstallFailure failure;
    if (InstallPerUserFiles(&failure))
        return;
    const QString skinsFolder = PerUserFolder() + QLatin1String("Skins/");
    ShowMessageBox(nullptr,
                   QStringLiteral("The default skins could not be installed in %1\n\n%2: %3")
                       .arg(skinsFolder, failure.path, SystemErrorText(failure.systemError)),
                   MessageIcon::Exclamation);
}

} // namespace

bool LoadStartupSkin(AppState& state, const SkinPicker& pickSkin,
                     UnsavedSettingsReport& unsavedReport) {
    Settings& settings = state.settings;
    for (;;) {
        if (settings.SkinPath) {
            QString message;
            SkinLoadFailure failure;
            if (!FileExists(*settings.SkinPath)) {
                // The path stays, so the picker can start near where the file was.
                message = QStringLiteral("Current skin file is missing.\n\nSelect another file...");
            } else if (state.face.LoadSkin(*settings.SkinPath, FaceOptionsOf(settings), failure)) {
                return true;
            } else {
                // A skin that failed for want of a temporary file is not at fault: its path stays.
                if (failure.error != SkinLoadError::TempFile)
                    settings.SkinPath.reset();
                message = SkinLoadFailureMessage(failure);
            }
            ShowMessageBox(nullptr, message, MessageIcon::Exclamation);
        }
        const std::optional<QString> picked = pickSkin(settings.SkinPath, nullptr);
        if (!picked) {
            settings.SkinPath.reset();
            return false;
        }
        settings.SkinPath = DuplicateString(*picked, picked->size());
        SaveSettings(settings);
        unsavedReport.ReportUnsavedSettings(nullptr);
    }
}

int RunProgram() {
    const SingleInstanceLock instanceLock(kInstanceLockName);
    switch (instanceLock.State()) {
    case InstanceLockState::Unavailable:
        // Two instances could both set the clock: without the guarantee the program doesn't run.
        std::fprintf(stderr, "marovellastrine: can't make the single-instance lock: %s\n",
                     qPrintable(instanceLock.Problem()));
        return 1;
    case InstanceLockState::HeldByAnother:
        AskRunningInstanceToRaise(kInstanceLockName, kProgramTitle);
        return 0;
    case InstanceLockState::Held:
        break;
    }

    const auto state = std::make_unique<AppState>(); // all zero; gpsLock is made with it
    UnsavedSettingsReport unsavedReport;
    InstallDefaultSkins();
    LoadSettings(state->settings);
    if (LoadStartupSkin(*state, PickSkin, unsavedReport))
        RunMainWindow(*state, state->settings, unsavedReport); // its result is not used
    else
        state->face.ReleaseSkin(); // what a failed load left behind

    state->settings.SkinPath.reset();
    return 0;
}

} // namespace mv
