#include "app/unsaved_settings.h"

#include "app/settings.h"
#include "platform/file_write.h"
#include "platform/message_box.h"

namespace mv {

void UnsavedSettingsReport::ReportUnsavedSettings(QWidget* owner) {
    const std::optional<StoreWriteError> failure = TakeSettingsSaveFailure();
    if (!failure.has_value() || reported_)
        return;
    reported_ = true;
    ShowMessageBox(owner,
                   QStringLiteral("Your settings could not be saved.\n\n%1: %2")
                       .arg(failure->path, SystemErrorText(failure->systemError)),
                   MessageIcon::Warning);
}

} // namespace mv
