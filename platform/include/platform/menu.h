#pragma once
// Popup menus from menu resources. A menu resource holds one popup:
//   POPUP <name>
//   ITEM <command id> <caption>
//   SEPARATOR
//   END
// Tracking a popup is modal; the chosen command reaches the owner window as WM_COMMAND with the
// command id in wParam, posted after the menu has closed.

#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MenuItem {
    std::uint32_t id = 0;   // 0 for a separator
    std::string caption;
    bool separator = false;
    bool checked = false;
};

struct Menu {
    std::string name;
    std::vector<MenuItem> items;
};

// The popup of menu resource `id` of the current resource module; nothing when it is missing
// or cannot be read.
std::optional<Menu> loadMenu(int id);
std::optional<Menu> parseMenu(std::string_view resource);

// Sets or clears the check mark of item `id`; false when the menu has no such item.
bool checkMenuItem(Menu& menu, std::uint32_t id, bool checked);

// Shows the popup at a screen point until the user chooses an item or dismisses it. True when an
// item was chosen (its WM_COMMAND is then posted to `owner`).
bool trackPopupMenu(const Menu& menu, Point at, Handle owner);

} // namespace platform
