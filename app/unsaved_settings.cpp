#include "app/unsaved_settings.h"

#include "app/app_state.h"
#include "platform/file_write.h"
#include "platform/message_box.h"

namespace mv {

void ReportUnsavedSettings(AppState& state, QWidget* owner) {
    const std::optional<StoreWriteError> failure = TakeSettingsSaveFailure();
    if (!failure.has_value() || state.unsavedSettingsReported)
        return;
    state.unsavedSettingsReported = true;
    ShowMessageBox(owner,
                   QStringLiteral("Your settings could not be saved.\n\n%1: %2")
                       .arg(failure->path, SystemErrorText(failure->systemError)),
                   MessageIcon::Warning);
}

} // namespace mv
