#pragma once
// What a backend supplies to the shared part of the layer: a clock, a way to wait for work,
// the desktop's services, and a mirror of the window table in native windows (if it has any).
// Every call comes from the GUI thread, except wake().

#include "platform/browser.h"
#include "platform/dialog.h"
#include "platform/dialogs.h"
#include "platform/menu.h"
#include "platform/tray.h"
#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What changed on a window, for backends that mirror windows natively.
enum WindowChange : unsigned {
    kChangeGeometry = 1u << 0,
    kChangeVisibility = 1u << 1,
    kChangeZOrder = 1u << 2,
    kChangeTitle = 1u << 3,
    kChangeStyle = 1u << 4,
    kChangeRegion = 1u << 5,
    kChangeState = 1u << 6,
    kChangeActivation = 1u << 7,
};

struct Folders {
    std::string modulePath;      // the program file
    std::string windowsFolder;
    std::string systemFolder;
    std::string desktopFolder;
    std::string runtimeFolder;   // per-user folder for named mutexes
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual std::int64_t now() = 0;
    // Blocks until the deadline (on the loop's clock) has come, wake() was called, or native
    // events were handled. Without a deadline it waits for one of the others.
    virtual void waitForWork(std::optional<std::int64_t> deadline) = 0;
    virtual void wake() = 0;

    virtual Folders folders() = 0;
    virtual Rect screenRect() = 0;
    virtual Point cursorPos() = 0;

    virtual void windowCreated(Handle) {}
    virtual void windowChanged(Handle, unsigned /*WindowChange mask*/) {}
    virtual void windowDestroyed(Handle) {}
    // Applies a layered window's opacity; false when the display cannot.
    virtual bool applyOpacity(Handle window, std::uint8_t alpha) = 0;
    // A posted caption or grow-box hit: the desktop moves or sizes the window with the mouse.
    virtual void beginDrag(Handle window, std::uintptr_t hitTest, Point screenPoint) = 0;

    virtual bool initSocketSupport() = 0;
    virtual bool startSockets(int major, int minor) = 0;
    virtual bool initComponentRuntime() = 0;
    virtual void endComponentRuntime() = 0;

    virtual int messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons) = 0;
    // Shows a popup menu modally; the chosen item's id, or nothing when it was dismissed.
    virtual std::optional<std::uint32_t> trackMenu(const Menu& menu, Point at, Handle owner) = 0;
    // Runs a dialog modally; the id of the button that closed it, IDCANCEL otherwise.
    virtual int runDialog(const DialogTemplate& dialog, Handle owner) = 0;
    virtual std::uint32_t startProgram(const std::string& commandLine, bool showWindow) = 0;
    virtual std::uint32_t startElevated(const std::string& file, const std::string& params) = 0;
    virtual std::uint32_t openWithDesktop(const std::string& target) = 0;
    virtual int osMajorVersion() = 0;

    virtual bool notifyIcon(NotifyAction action, const NotifyIconData& data) = 0;

    // Browser controls. The control's child window exists in the window table before
    // browserCreated and until after browserDestroyed; the backend puts an engine view in it.
    // res: addresses are served with Context::resolveResource. Mouse presses on the view are
    // reported with Context::deliverInput and the control's handle (so the windows around it can
    // pre-translate them) and then go on to the page.
    virtual void browserCreated(Handle browser) = 0;
    virtual void browserDestroyed(Handle browser) = 0;
    virtual void browserNavigate(Handle browser, const std::string& url) = 0;
    virtual void browserSetSilent(Handle browser, bool silent) = 0;
    virtual void browserSetHostUi(Handle browser, const BrowserHostUi& ui) = 0;
    // Null removes `window.external`. Calls from pages reach the object on the GUI thread.
    virtual void browserSetExternal(Handle browser, ExternalObject* external) = 0;
    // Calls the page's global function `name` with `arguments` in the engine's order (entry 0 is
    // the function's last argument). `done` runs once, on the GUI thread, at once or later; the
    // completions of one browser run in the order of the calls. Completions still pending when
    // the browser is destroyed may be dropped.
    virtual void browserCall(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                             CallCompletion done) = 0;

    // Plays a whole WAVE file asynchronously, cutting off the sound still playing; errors ignored.
    // The bytes are only valid during the call.
    virtual void playSound(std::string_view wave) = 0;
};

} // namespace platform
