#pragma once
// The per-thread state of the layer: the window table, the message queue and timers, and the
// resource modules. A backend creates one Context for the GUI thread; the layer's free functions
// reach it through Context::current(). Everything here runs on that thread, except post().

#include "backend.h"
#include "platform/browser.h"
#include "platform/resources.h"
#include "platform/window.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

struct WindowRecord {
    enum class State { Normal, Minimized, Maximized };

    Handle handle = 0;
    Window* object = nullptr;   // null for pseudo-windows and for windows whose object is going away
    std::string className;
    std::string title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    Rect rect;                  // screen coordinates; parent-client coordinates for a child
    Rect normalRect;            // the rectangle to restore after minimise or maximise
    Handle parent = 0;          // parent of a child, owner of a top-level window
    int controlId = 0;
    bool visible = false;
    bool topmost = false;
    bool destroying = false;
    State state = State::Normal;
    std::optional<std::uint8_t> opacity;
    Region region;

    bool isChild() const { return (style & WS_CHILD) != 0; }
};

class Context {
public:
    Context(Backend& backend, const PlatformResourceTable* programResources);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context();

    // The context of the calling thread; aborts when there is none, since no window, timer or
    // message can exist without one.
    static Context& current();
    static Context* currentOrNull();
    // The calling thread's context, or on a worker thread the GUI thread's.
    static Context* forPosting();

    Backend& backend() { return backend_; }
    Handle desktop() const { return desktop_; }

    // --- windows ---
    Handle createWindow(const CreateParams& params, Window* object);
    // A window with no object, such as the simulated taskbar.
    Handle createPseudoWindow(const std::string& className, const std::string& title, const Rect& rect);
    bool destroyWindow(Handle handle);
    void detachObject(Handle handle);
    WindowRecord* find(Handle handle);
    const std::vector<Handle>& zOrder() const { return zOrder_; }
    std::vector<Handle> windows() const;
    void bringToFront(Handle handle);
    void placeInZOrder(Handle handle, Handle insertAfter);
    Handle foreground() const { return foreground_; }
    void setForeground(Handle handle);
    Handle focus() const { return focus_; }
    void setFocusHandle(Handle handle) { focus_ = handle; }
    void notifyChanged(Handle handle, unsigned changes) { backend_.windowChanged(handle, changes); }
    // Mouse input from the desktop for `target`: offered to the pre-translation of the target and
    // of each of its parents, then sent to the target unless one of them kept it.
    void deliverInput(Handle target, std::uint32_t message, WParam wParam, LParam lParam);

    // --- messages and timers ---
    bool post(Handle window, std::uint32_t message, WParam wParam, LParam lParam);
    LResult send(Handle window, std::uint32_t message, WParam wParam, LParam lParam);
    bool setTimer(Handle window, std::uintptr_t id, std::uint32_t periodMs);
    bool killTimer(Handle window, std::uintptr_t id);
    bool hasTimer(Handle window, std::uintptr_t id) const;
    std::optional<std::int64_t> nextDeadline() const;
    bool hasPostedMessages() const;
    // Delivers every posted message, including those posted meanwhile. True if any was delivered.
    bool dispatchPosted();
    // Fires every timer that is due now, delivering posted messages between them.
    bool dispatchDueTimers();
    bool dispatchReady();
    int run();
    void quit(int exitCode);
    bool quitRequested() const { return quit_; }
    // True while run() is on the stack (modal loops of a backend run inside it).
    bool running() const { return runDepth_ > 0; }

    // --- browser controls ---
    void setBrowserHostFactory(BrowserHostFactory* factory) { hostFactory_ = factory; }
    Handle createBrowser(Handle parent, int controlId, const Rect& rect, bool visible);
    bool isBrowser(Handle handle) const { return browsers_.count(handle) > 0; }
    bool navigateBrowser(Handle browser, const std::string& url);
    bool setBrowserSilent(Handle browser, bool silent);
    bool setBrowserExternal(Handle browser, ExternalObject* external);
    void callBrowserFunction(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                             CallCompletion done);
    // What the engine of `browser` is served for a res: address. Addresses without a module
    // resolve in the module of the page the browser was last navigated to.
    std::optional<ResourceContent> resolveResource(Handle browser, std::string_view url) const;

    // --- resources ---
    const ResourceModule& programModule() const { return *program_; }
    const ResourceModule& currentModule() const { return current_ ? *current_ : *program_; }
    void setCurrentModule(const ResourceModule* module) { current_ = module; }
    const ResourceModule* loadLibrary(const std::string& path);
    void freeLibrary(const ResourceModule* module);
    const ResourceModule* moduleByPath(std::string_view path) const;

private:
    struct Posted {
        Handle window;
        std::uint32_t message;
        WParam wParam;
        LParam lParam;
    };
    struct Timer {
        std::uint32_t period = 0;
        std::int64_t deadline = 0;
        std::uint64_t order = 0;
    };
    struct Library;
    struct BrowserRecord {
        std::unique_ptr<BrowserHost> host;
        std::string pageModulePath;   // "" while the page is not a resource page
    };

    void removeTimersOf(Handle handle);

    Backend& backend_;
    Handle nextHandle_ = 0x100;
    std::unordered_map<Handle, std::unique_ptr<WindowRecord>> records_;
    std::vector<Handle> zOrder_;   // top-level windows, front first, topmost band first
    Handle desktop_ = 0;
    Handle foreground_ = 0;
    Handle focus_ = 0;

    // Posting may come from other threads: the queue and the set of live handles are guarded.
    mutable std::mutex queueMutex_;
    std::deque<Posted> queue_;
    std::unordered_set<Handle> live_;

    std::map<std::pair<Handle, std::uintptr_t>, Timer> timers_;
    std::uint64_t timerOrder_ = 0;

    BrowserHostFactory* hostFactory_ = nullptr;
    std::unordered_map<Handle, BrowserRecord> browsers_;

    bool quit_ = false;
    int exitCode_ = 0;
    int runDepth_ = 0;

    std::unique_ptr<ResourceModule> program_;
    const ResourceModule* current_ = nullptr;
    std::vector<std::unique_ptr<Library>> libraries_;
};

} // namespace platform
