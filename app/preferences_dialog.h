#pragma once
// The Preferences dialog: smooth hand shapes, smooth hand motion, shadow under hands, disable
// auto-off.

#include "app/app_state.h"

class QWidget;

namespace mv {

// Runs the dialog modally, owned by `owner`; returns IDOK, IDCANCEL, IDCLOSED or -1.
int RunPreferencesDialog(AppState& state, QWidget* owner);

// Reads the dialog's check boxes into the settings and puts the changes into effect: a change of
// smooth shapes or shadow reloads the skin and rebuilds the back buffer, a change of smooth motion
// restarts the clock timer; the settings are saved in every case. Always true.
bool ApplyPreferences(AppState& state, QWidget* dialog);

} // namespace mv
