#pragma once
// Telling the user that the settings could not be saved: once per run of the program, so a
// store that stays unwritable doesn't bring a message for every changed option.

class QWidget;

namespace mv {

struct AppState;

// Shows "Your settings could not be saved." with the file and the system's reason when the
// latest SaveSettings failed and no such message was shown in this run yet.
void ReportUnsavedSettings(AppState& state, QWidget* owner);

} // namespace mv
