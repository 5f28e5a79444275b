#pragma once
// The simulated desktop for tests: a virtual clock the test advances, a screen and taskbar the
// test places, and records of everything a program asks of the desktop (message boxes, started
// programs, tray icon requests, drags, navigations, page calls, sounds). Browser controls show no
// real pages: the test acts as the page. Files, folders and sockets are real; the program's
// folders live in a scratch folder that the world removes again.
//
// One World per test, created on the test's thread; it is that thread's platform context.

#include "platform/browser.h"
#include "platform/dialog.h"
#include "platform/dialogs.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/tray.h"
#include "platform/types.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Context;
}

namespace platform::sim {

class World {
public:
    struct Options {
        Rect screen{0, 0, 1920, 1080};
        const PlatformResourceTable* programResources = nullptr;
        std::string programName = "program";
    };

    World();
    explicit World(Options options);
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    ~World();

    // --- folders (all inside a scratch folder) ---
    const std::string& root() const;
    std::string programFolder() const;   // where modulePath() lives
    std::string modulePath() const;

    // --- clock ---
    std::int64_t now() const;
    // Moves the clock forward by `ms`, delivering every posted message and every timer that falls
    // due on the way, in order, each at its own time.
    void advance(std::int64_t ms);
    // Delivers the posted messages (and timers due now) without moving the clock.
    void runUntilIdle();
    // Advances in steps of `stepMs` until `done()` holds, at most `maxMs` of virtual time; between
    // steps waits up to `realWait` of real time for work from other threads (sockets).
    bool advanceUntil(const std::function<bool()>& done, std::int64_t maxMs, std::int64_t stepMs = 100,
                      std::chrono::milliseconds realWait = std::chrono::milliseconds(2));

    // --- desktop ---
    void setScreen(const Rect& screen);
    Handle placeTaskbar(const Rect& rect);   // a window of class "Shell_TrayWnd" with an empty title
    void removeTaskbar();
    void setCursor(Point p);
    void setOpacitySupported(bool supported);

    struct Drag {
        Handle window;
        std::uintptr_t hitTest;
        Point screenPoint;
    };
    const std::vector<Drag>& drags() const;

    // --- dialogs ---
    struct MessageBoxCall {
        Handle owner;
        std::string text;
        std::string caption;
        Buttons buttons;
        int answer;
    };
    // Answers for the coming message boxes, in order; without one a box answers IDOK or IDYES.
    void answerMessageBoxes(std::initializer_list<int> answers);
    const std::vector<MessageBoxCall>& messageBoxes() const;

    // --- menus and dialogs ---
    struct MenuCall {
        Menu menu;   // as shown, check marks included
        Point at;
        Handle owner;
        std::optional<std::uint32_t> chosen;
    };
    // The user's choices in the coming popup menus, in order; without one a menu is dismissed.
    void chooseMenuItems(std::initializer_list<std::uint32_t> ids);
    const std::vector<MenuCall>& menus() const;
    struct DialogCall {
        DialogTemplate dialog;
        Handle owner;
        int answer;
    };
    // Every dialog is closed with its first button (IDCANCEL when it has none).
    const std::vector<DialogCall>& dialogs() const;

    // --- programs ---
    struct Start {
        enum class Kind { Program, Elevated, Desktop } kind;
        std::string commandLine;   // Program: the command line; Elevated: the file; Desktop: the target
        std::string params;        // Elevated only
        bool shown = false;        // Program only
    };
    const std::vector<Start>& starts() const;
    // The result of the next start request (0 = success); unscripted requests succeed when the
    // program file exists and fail with ERROR_FILE_NOT_FOUND otherwise.
    void failNextStart(std::uint32_t code);
    void setOsMajorVersion(int major);

    // --- start-up services ---
    void failSocketSupport();
    void failSockets();
    void failComponentRuntime();
    bool componentRuntimeActive() const;

    // --- tray ---
    struct TrayRequest {
        NotifyAction action;
        NotifyIconData data;
    };
    const std::vector<TrayRequest>& trayRequests() const;
    // The icon as the notification area shows it now (after add/modify, gone after delete).
    std::optional<NotifyIconData> trayIcon() const;
    void failTray(bool fail);
    // The user acts on the icon: posts its callback message with `mouseMessage` in lParam.
    bool clickTray(std::uint32_t mouseMessage);

    // --- browser controls ---
    struct Navigation {
        Handle browser;
        std::string url;
        std::string modulePath;   // the module of the resource the address names, "" for none
        std::string type;
        int id = 0;
        std::int64_t time = 0;
    };
    const std::vector<Navigation>& navigations() const;
    std::vector<Navigation> navigations(Handle browser) const;

    // What a page function gives back.
    struct PageValue {
        enum class Kind { Text, NonText, Throws } kind = Kind::Text;
        std::string text;
        static PageValue Text(std::string text) { return {Kind::Text, std::move(text)}; }
        static PageValue NonText() { return {Kind::NonText, {}}; }
        static PageValue Throws() { return {Kind::Throws, {}}; }
    };
    // Page functions receive their arguments in script order.
    using PageFunction = std::function<PageValue(const std::vector<std::string>& arguments)>;

    // The test acts as the page in `browser`: it defines the page's global functions (they stay
    // when the browser navigates again). Aborts for a handle that names no browser.
    void definePageFunction(Handle browser, const std::string& name, PageFunction function);
    // A browser has a document from its first navigation on; the test may take it away (a page
    // still loading) and give it back.
    void setDocumentReady(Handle browser, bool ready);

    struct PageCall {
        Handle browser;
        std::string function;
        std::vector<std::string> arguments;   // in script order
        std::int64_t time = 0;
        CallStatus status = CallStatus::NoDocument;
    };
    const std::vector<PageCall>& pageCalls() const;
    std::vector<PageCall> pageCalls(Handle browser, std::string_view function) const;

    // The page calls `window.external.<name>(arguments...)`, arguments in script order.
    enum class ExternalCall { NoExternal, UnknownName, Invoked };
    ExternalCall callExternal(Handle browser, const std::string& name, const std::vector<std::string>& arguments);

    struct BrowserState {
        bool silent = false;
        BrowserHostUi hostUi;
        ExternalObject* external = nullptr;
        bool documentReady = false;
    };
    // Nothing once the browser is destroyed.
    std::optional<BrowserState> browser(Handle browser) const;
    // What the engine of `browser` would be served for a res: address its page uses.
    std::optional<ResourceContent> resolveResource(Handle browser, std::string_view url);

    // --- mouse ---
    // The user presses the left button at `client` (client coordinates of `window`, which may be
    // a browser control).
    void leftButtonDown(Handle window, Point client);

    // --- sounds ---
    struct Sound {
        int programWave = 0;              // the program's own WAVE resource with these bytes, or 0
        std::int64_t start = 0;
        std::int64_t durationMs = 0;      // from the file's header; 0 when it cannot be played
        std::optional<std::int64_t> cutOffAt;   // when a later sound cut it off
    };
    const std::vector<Sound>& sounds() const;

    platform::Context& context();

private:
    struct State;
    class SimBackend;
    std::unique_ptr<State> state_;
};

} // namespace platform::sim
