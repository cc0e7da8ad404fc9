#pragma once
// The program from start to end: one instance per user, the settings, a skin that loads, the
// main window, and the clean-up.

#include "app/app_state.h"
#include "app/unsaved_settings.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace mv {

// Returns the process's exit code, always 0. A second start brings the running instance's window
// to the front and ends at once.
int RunProgram();

// Shows the skin picker owned by the window given (none at start-up), opened at the current
// path; the chosen file's path, or nothing when the user cancelled.
using SkinPicker =
    std::function<std::optional<QString>(const std::optional<QString>& currentPath, QWidget*)>;

// Loads the skin at settings.SkinPath; while it is missing or does not load, says so and lets the
// user pick another (saving the settings after each pick, a failed save reported through
// `unsavedReport`). True once a skin is loaded, false when the user cancelled the picker.
bool LoadStartupSkin(AppState& state, const SkinPicker& pickSkin,
                     UnsavedSettingsReport& unsavedReport);

} // namespace mv
