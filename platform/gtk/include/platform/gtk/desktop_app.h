#pragma once
// The real desktop for a program's entry: opens the display with GTK 3 (X11), creates the
// platform context of the calling thread on top of it, and ends both again. One session per
// process, created and destroyed on the GUI thread; the layer's free functions (windows, loop,
// dialogs, tray ...) work while it exists.
//
// Without a display the session still works for what needs none (files, processes, the loop and
// its timers); windows then have no native counterpart, message boxes go to stderr, and
// initComponentRuntime() reports false.
//
// Besides construction the class offers a few queries of the native side, so that tests and
// end-to-end checks can see what the desktop really shows.

#include "platform/resources.h"
#include "platform/types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::gtk {

// A native window as the X server has it.
struct NativeGeometry {
    Rect rect;             // screen coordinates
    bool mapped = false;   // shown on the screen (the window and all its ancestors are mapped)
};

struct MessageBoxInfo {
    std::string caption;
    std::string text;   // as displayed (line breaks as "\n")
};

class DesktopSession {
public:
    // `argc`/`argv` may be changed: GTK takes out the options it understands (e.g. --display).
    // `programName` names the program's data folders and its windows' class on the desktop.
    DesktopSession(int& argc, char**& argv, const PlatformResourceTable* programResources, const std::string& programName);
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    ~DesktopSession();

    bool hasDisplay() const;

    // The native window that mirrors `window`: nothing for a handle without one (pseudo-windows,
    // any window when there is no display).
    std::optional<NativeGeometry> nativeGeometry(Handle window) const;
    // The X window id of that native window, 0 when there is none (for xdotool and friends).
    unsigned long nativeWindowId(Handle window) const;

    // Handles desktop events and the layer's messages and timers until `done()` holds or
    // `timeoutMs` of real time have passed; true when `done()` held. For tests that wait for
    // something the desktop does asynchronously (a window being mapped, a configure event).
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs);

    // The message boxes open now, innermost last.
    std::vector<MessageBoxInfo> openMessageBoxes() const;
    // Presses a button (IDOK, IDYES or IDNO) of the innermost open message box; false when there
    // is none or it has no such button.
    bool answerMessageBox(int button);
    // Closes the innermost open message box as the window manager's close button does.
    bool closeMessageBox();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::gtk
