#pragma once
// Telling the user that the settings could not be saved: once per run of the program, so a
// store that stays unwritable doesn't bring a message for every changed option.

class QWidget;

namespace mv {

// The program holds one for its whole run; the start-up and the main window share it.
class UnsavedSettingsReport {
public:
    // Shows "Your settings could not be saved." with the file and the system's reason when the
    // latest SaveSettings failed and this report has not shown such a message yet.
    void ReportUnsavedSettings(QWidget* owner);

private:
    bool reported_ = false;
};

} // namespace mv
