#pragma once
// Replacing or reloading the skin of the running program, with recovery from a failed load: the
// glue between the skin picker, the skin loader, the face and the settings.

#include "app/app_state.h"

class QWidget;

namespace mv {

// reloadCurrent false: the skin the user picks replaces the current one and is drawn at once.
// reloadCurrent true: the skin at settings.SkinPath is loaded again (after a change of the
// options that shape the hands). A failed load is reported (owned by `owner`) and the previous
// skin is loaded again; when even that fails, the application is asked to end with exit code 0.
void ChangeSkin(AppState& state, QWidget* owner, bool reloadCurrent);

} // namespace mv
