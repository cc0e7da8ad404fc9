#pragma once
// The skin picker: a modal dialog with the file system as a lazily filled tree, in which the user
// chooses a skin file, or opens the page of downloadable skins.

#include "app/app_state.h"

class QWidget;

namespace mv {

// Runs the picker owned by `owner` (none at start-up). True when a file was chosen; then
// settings.SkinPath holds its full path (the caller saves the settings).
bool PickSkin(AppState& state, QWidget* owner);

} // namespace mv
