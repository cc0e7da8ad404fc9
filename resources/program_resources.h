#pragma once
// The descriptions behind the resource numbers of resources/resource_ids.h: the soft-key bars
// with the main menu, and the string table.

#include "platform/soft_key_bar.h"

#include <QString>
#include <optional>

namespace mv {

// The bar of dialogs that are closed with Done and have no soft keys (About).
inline constexpr int IDR_EMPTY_BAR = 0;

// The bar with this number (202, 203, 204, 213 or the empty bar); none for any other number.
std::optional<SoftKeyBarDescription> FindSoftKeyBar(int barId);

// The items of menu 205 in their order; a separator has command 0.
std::vector<MenuItemDescription> MainMenuItems();

// The string with this number (206 to 211); empty for any other number.
QString LoadResourceString(int stringId);

} // namespace mv
