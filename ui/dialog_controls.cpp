#include "ui/dialog_controls.h"

namespace mv {

namespace {

constexpr char kControlIdProperty[] = "mvControlId";

} // namespace

void SetControlId(QWidget* control, int controlId) {
    control->setProperty(kControlIdProperty, controlId);
}

int ControlId(const QWidget* control) {
    return control->property(kControlIdProperty).toInt();
}

QWidget* FindControl(const QWidget* dialog, int controlId) {
    if (dialog == nullptr)
        return nullptr;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (ControlId(child) == controlId)
            return child;
    }
    return nullptr;
}

} // namespace mv
