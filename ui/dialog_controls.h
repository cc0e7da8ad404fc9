#pragma once
// Controls of the program's dialogs are found by their fixed control numbers, as the templates
// name them (IDC_... in resources/resource_ids.h).

#include <QWidget>

namespace mv {

void SetControlId(QWidget* control, int controlId);
int ControlId(const QWidget* control);

// The dialog's control with this number; null when it has none.
QWidget* FindControl(const QWidget* dialog, int controlId);

template <typename Control>
Control* FindControl(const QWidget* dialog, int controlId) {
    return qobject_cast<Control*>(FindControl(dialog, controlId));
}

} // namespace mv
