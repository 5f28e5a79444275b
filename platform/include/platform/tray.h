#pragma once
// The notification-area (tray) icon. The desktop reports mouse activity on an icon to its owner
// window as the icon's callback message, with the mouse message number in the low word of lParam.

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class NotifyAction { Add, Modify, Delete };

inline constexpr std::uint32_t NIF_MESSAGE = 0x1;
inline constexpr std::uint32_t NIF_ICON = 0x2;
inline constexpr std::uint32_t NIF_TIP = 0x4;

struct NotifyIconData {
    Handle window = 0;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t callbackMessage = 0;
    // The icon image (an icon resource's bytes, PNG); empty for no picture.
    std::vector<unsigned char> icon;
    std::string tip;
};

bool notifyIcon(NotifyAction action, const NotifyIconData& data);

} // namespace platform
