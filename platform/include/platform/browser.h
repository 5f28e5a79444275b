#pragma once
// The embedded browser control: a child window with a control id that shows web pages, with a
// host that decides the control's UI, an object the pages reach as `window.external`, and calls
// of the page's global script functions from the program.
//
// Engines may run page scripts in another process, so a page call does not return its result:
// it arrives through a completion, and completions arrive in the order the calls were made.
// A completion never runs after its browser has been destroyed, so it may refer to the window
// that owns the browser.
//
// Pages stored as resources are addressed as "res://<module path>/<id>": HTML resource <id> of
// the loaded resource module whose file is <module path>. Inside such a page, "res:/<TYPE>/#<id>"
// names resource <id> of type <TYPE> (for example "res:/JS/#313", "res:/IMG/#328") in the
// module the page came from, so a resource library serves its own scripts and images.

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// --- the host of a control ---

// What lies under the pointer when the user asks for a context menu on a page.
enum class PageElement : unsigned {
    Background = 0,   // the page itself, where no other kind applies
    Image,
    Control,          // an edit field, button or other form control
    Table,
    Selection,        // selected text
    Link,
    ScrollBar,
    Other,
};
inline constexpr unsigned kPageElementCount = 8;

// Host UI flags.
inline constexpr std::uint32_t kHostUiNo3DBorder = 0x4;   // the control draws no sunken border
// Double-click behaviours.
inline constexpr std::uint32_t kHostUiDoubleClickDefault = 0;

struct HostUiInfo {
    std::uint32_t flags = 0;
    std::uint32_t doubleClick = kHostUiDoubleClickDefault;
};

// How a control presents itself, as its host decided when the control was created.
struct BrowserHostUi {
    std::uint32_t flags = 0;
    std::uint32_t doubleClick = kHostUiDoubleClickDefault;
    // One bit per PageElement over which the engine shows its own context menu.
    std::uint32_t engineMenus = (1u << kPageElementCount) - 1;

    bool showsEngineMenu(PageElement element) const { return (engineMenus >> static_cast<unsigned>(element)) & 1u; }
    friend bool operator==(const BrowserHostUi&, const BrowserHostUi&) = default;
};

inline constexpr int kUnknownMember = -1;

// The object pages see as `window.external`. Its methods are found by name and called with text
// arguments (script values arrive converted to text).
class ExternalObject {
public:
    virtual ~ExternalObject() = default;
    // The id of the method `name`, or kUnknownMember when the object has none of that name.
    virtual int memberId(std::string_view name) = 0;
    // Runs method `member`. The arguments come in the engine's order: entry 0 is the last one the
    // script passed, entry 1 the one before it, and so on. Runs on the GUI thread, inside the
    // script's call or (for engines in another process) soon after it.
    virtual void invoke(int member, const std::vector<std::string>& arguments) = 0;
};

// The program's side of one control: asked once, when the control is created.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;
    // True when the host deals with the context menu over `element` itself, so that the engine
    // shows none there; asked for every kind of element.
    virtual bool handlesContextMenu(PageElement element) = 0;
    virtual void hostInfo(HostUiInfo& info) = 0;
    // The object for `window.external`, or null for none. It must outlive the control.
    virtual ExternalObject* external() = 0;
};

// Makes the host of every control the program creates. The factory and the hosts it makes must
// outlive the controls created while it is installed.
class BrowserHostFactory {
public:
    virtual ~BrowserHostFactory() = default;
    virtual std::unique_ptr<BrowserHost> createHost(Handle browser) = 0;
};

// Installs the factory for controls created from now on; null for none (controls then have the
// engine's own UI and no `window.external`).
void setBrowserHostFactory(BrowserHostFactory* factory);

// --- page calls ---

enum class CallStatus {
    Ok,
    NoDocument,   // no page is loaded (yet)
    NoFunction,   // the page has no global function of that name
    Threw,        // the function raised an error
};

struct CallResult {
    CallStatus status = CallStatus::NoDocument;
    // The function's result when it ran and returned a text; nothing for any other result.
    std::optional<std::string> text;
};

using CallCompletion = std::function<void(const CallResult&)>;

// --- the control ---

class Browser {
public:
    Browser() = default;
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;
    // Destroys the control if it still exists.
    ~Browser();

    // Creates the control as a child of `parent` at `rect` (the parent's client coordinates).
    // The installed host factory gives it its host, and with it its `window.external`.
    bool create(Handle parent, int controlId, const Rect& rect, bool visible);
    Handle handle() const { return handle_; }

    bool navigate(const std::string& url);
    // A silent control shows no dialog boxes of its own, script error boxes included.
    bool setSilent(bool silent);
    bool setExternal(ExternalObject* external);

    // Calls the global script function `name` of the page now loaded. `arguments` are in the
    // engine's order (entry 0 becomes the function's last argument). `done` may be empty.
    void callFunction(const std::string& name, const std::vector<std::string>& arguments, CallCompletion done);

private:
    Handle handle_ = 0;
};

// What a res: address names, as the engine is served it.
struct ResourceContent {
    std::string modulePath;
    std::string type;
    int id = 0;
    std::string_view bytes;    // valid while the module stays loaded
    std::string contentType;   // pages and scripts are stored in the Korean code page
};

} // namespace platform
