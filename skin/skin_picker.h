#pragma once
// The skin picker: a modal dialog with the file system as a lazily filled tree, in which the user
// chooses a skin file, or opens the page of downloadable skins.

#include <QString>
#include <optional>

class QWidget;

namespace mv {

// Runs the picker owned by `owner` (none at start-up), opened at currentPath's file when there
// is one. Returns the chosen file's full path, or nothing when the user cancelled.
std::optional<QString> PickSkin(const std::optional<QString>& currentPath, QWidget* owner);

} // namespace mv
