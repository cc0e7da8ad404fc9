#include "app/preferences_dialog.h"

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
    PreferencesDialog(Settings& settings, QWidget* owner, const PreferencesApplier& apply)
        : ShellDialog(owner, u"dialog_preferences", TitleBand::Drawn), settings_(settings),
          apply_(apply) {
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
                ->setChecked(settings_.*option.field != 0);
        }
        return true;
    }

    void RunCommand(int command) override {
        switch (command) {
        case kDoneCommand: {
            const PreferenceChanges changes = ApplyPreferences(settings_, this);
            if (apply_)
                apply_(changes, this);
            done(int(DialogResult::Ok));
            break;
        }
        case kCancelCommand:
            done(int(DialogResult::Cancel));
            break;
        }
    }

private:
    Settings& settings_;
    const PreferencesApplier& apply_;
};

int8_t CheckedFlag(QWidget* dialog, int controlId) {
    const QCheckBox* box = FindControl<QCheckBox>(dialog, controlId);
    return box != nullptr && box->isChecked() ? 1 : 0;
}

} // namespace

DialogResult RunPreferencesDialog(Settings& settings, QWidget* owner,
                                  const PreferencesApplier& apply) {
    PreferencesDialog dialog(settings, owner, apply);
    if (!dialog.Init())
        return DialogResult::Cancel;
    return ToDialogResult(dialog.exec());
}

PreferenceChanges ApplyPreferences(Settings& settings, QWidget* dialog) {
    const Settings before = settings;
    for (const OptionBox& option : kOptionBoxes)
        settings.*option.field = CheckedFlag(dialog, option.controlId);

    const PreferenceChanges changes{
        .shapesOrShadow =
            settings.AntiAliased != before.AntiAliased || settings.Shadow != before.Shadow,
        .motion = settings.Smooth != before.Smooth,
    };
    if (!changes.shapesOrShadow)
        SaveSettings(settings);
    return changes;
}

} // namespace mv
