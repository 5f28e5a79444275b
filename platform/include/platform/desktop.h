#pragma once
// The desktop: the screen, the taskbar and window lookup by class and title.

#include "platform/types.h"

#include <string>

namespace platform {

// The desktop window; its rectangle is the whole screen.
Handle desktopWindow();
Rect screenRect();

// The first top-level window with exactly this class name and title. On a Linux desktop the
// taskbar is the pseudo-window of class "Shell_TrayWnd" with an empty title whose rectangle is
// the part of the monitor outside its work area.
Handle findWindow(const std::string& className, const std::string& title);

Point cursorPos();

} // namespace platform
