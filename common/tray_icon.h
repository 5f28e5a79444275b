#pragma once
// The program's icon in the desktop's notification area. Mouse activity on it reaches the owner
// window as the callback message, with the mouse message number in the low word of lParam. The
// owner removes the icon at exit; destroying the object does not.

#include "platform/tray.h"
#include "platform/types.h"

#include <cstdint>
#include <string>

class CTrayIcon {
public:
    CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    virtual ~CTrayIcon() = default;

    // Adds the icon, still without a picture. The tip is cut to 127 characters.
    virtual bool Create(platform::Handle owner, std::uint32_t callbackMessage, const std::string& tip);
    // Gives the icon the picture of icon resource 128 of the current resource module.
    void SetProgramIcon();
    void Remove();

private:
    platform::NotifyIconData data_;
};
