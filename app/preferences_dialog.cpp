#include "app/preferences_dialog.h"

#include "app/change_skin.h"
#include "app/clock_tick.h"
#include "app/unsaved_settings.h"
#include "platform/message_box.h"
#include "platform/window_commands.h"
#include "resources/resource_ids.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_units.h"
#include "ui/shell_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <array>

namespace mv {

namespace {

struct OptionBox {
    int controlId;
    const char16_t* text;
    QRect units; // left, top, width, height in dialog units
    int8_t Settings::*field;
};

// Template 201, top to bottom.
constexpr std::array<OptionBox, 4> kOptionBoxes{{
    {IDC_SMOOTH_SHAPES, u"Smooth hand shapes", QRect(7, 21, 142, 10), &Settings::AntiAliased},
    {IDC_SMOOTH_MOTION, u"Smooth hand motion", QRect(7, 34, 142, 10), &Settings::Smooth},
    {IDC_SHADOW, u"Shadow under hands", QRect(7, 47, 142, 10), &Settings::Shadow},
    {IDC_DISABLE_AUTO_OFF, u"Disable auto-off", QRect(7, 60, 142, 10), &Settings::NoOff},
}};

class PreferencesDialog final : public ShellDialog {
public:
    PreferencesDialog(AppState& state, QWidget* owner)
        : ShellDialog(owner, u"dialog_preferences", TitleBand::Drawn), state_(state) {
        setWindowTitle(QStringLiteral("Preferences"));
        auto* layout = new QVBoxLayout(this); // owned by the dialog
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* client = new QWidget(this); // owned by the dialog
        layout->addWidget(client, 1);

        const DialogDpi dpi = WidgetDpi(owner);
        setFont(DialogFont(dpi));
        for (const OptionBox& option : kOptionBoxes) {
            auto* box = new QCheckBox(QString::fromUtf16(option.text), client); // owned by client
            SetControlId(box, option.controlId);
            box->setGeometry(DialogUnitsToPixels(option.units, dpi));
        }
    }

    bool Init() {
        if (!InitShellDialog(this, IDR_OK_CANCEL_BAR))
            return false;
        for (const OptionBox& option : kOptionBoxes) {
            FindControl<QCheckBox>(this, option.controlId)
                ->setChecked(state_.settings.*option.field != 0);
        }
        return true;
    }

protected:
    bool event(QEvent* event) override {
        const CommandEvent* command = AsCommand(event);
        if (command == nullptr)
            return ShellDialog::event(event);
        switch (command->command()) {
        case IDOK:
            ApplyPreferences(state_, this);
            done(IDOK);
            return true;
        case IDCANCEL:
            done(IDCANCEL);
            return true;
        default:
            return false;
        }
    }

private:
    AppState& state_;
};

int8_t CheckedFlag(QWidget* dialog, int controlId) {
    const QCheckBox* box = FindControl<QCheckBox>(dialog, controlId);
    return box != nullptr && box->isChecked() ? 1 : 0;
}

} // namespace

int RunPreferencesDialog(AppState& state, QWidget* owner) {
    PreferencesDialog dialog(state, owner);
    if (!dialog.Init())
        return -1;
    const int result = dialog.exec();
    ReportUnsavedSettings(state, owner); // once the dialog is gone, whatever saved the options
    return result;
}

bool ApplyPreferences(AppState& state, QWidget* dialog) {
    Settings& settings = state.settings;
    const int8_t wasAntiAliased = settings.AntiAliased;
    const int8_t wasShadow = settings.Shadow;
    const int8_t wasSmooth = settings.Smooth;

    for (const OptionBox& option : kOptionBoxes)
        settings.*option.field = CheckedFlag(dialog, option.controlId);

    if (settings.AntiAliased == wasAntiAliased && settings.Shadow == wasShadow) {
        SaveSettings(settings);
    } else {
        ChangeSkin(state, dialog, true); // saves the settings, then reloads the skin for them
        RebuildClockFace(state);
    }
    if (settings.Smooth != wasSmooth) {
        RestartClockTimer(state);
        state.face.SetSmoothMotion(settings.Smooth != 0);
    }
    return true;
}

} // namespace mv
