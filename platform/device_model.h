#pragma once
// The device's model name, as it is sent to the skin download page.

#include <QString>

namespace mv {

// The current user's store value "ModelID" of the key "System" when it is a non-empty string;
// otherwise the device-tree model or the DMI product name; otherwise "unknown".
QString ReadDeviceModel();

} // namespace mv
