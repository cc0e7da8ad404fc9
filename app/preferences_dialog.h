#pragma once
// The Preferences dialog: smooth hand shapes, smooth hand motion, shadow under hands, disable
// auto-off.

#include "app/settings.h"
#include "platform/message_box.h"

#include <functional>

class QWidget;

namespace mv {

// What an accepted Preferences dialog changed beyond the stored options.
struct PreferenceChanges {
    bool shapesOrShadow = false; // the skin must be loaded again and the face redrawn
    bool motion = false;         // the clock tick's period changed
};

// Puts the changes into effect while the dialog is still open (`dialog` owns any message).
using PreferencesApplier = std::function<void(const PreferenceChanges& changes, QWidget* dialog)>;

// Runs the dialog modally, owned by `owner`. OK reads the check boxes into `settings` through
// ApplyPreferences and hands what changed to `apply`. Cancel when the dialog can't be made.
DialogResult RunPreferencesDialog(Settings& settings, QWidget* owner,
                                  const PreferencesApplier& apply);

// Reads the dialog's check boxes into the settings and answers what changed. The settings are
// saved here unless the shapes or the shadow changed: then reloading the skin saves them.
PreferenceChanges ApplyPreferences(Settings& settings, QWidget* dialog);

} // namespace mv
