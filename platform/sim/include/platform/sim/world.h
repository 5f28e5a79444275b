#pragma once
// The simulated desktop for tests: a virtual clock the test advances, a screen and taskbar the
// test places, and records of everything a program asks of the desktop (message boxes, started
// programs, tray icon requests, drags). Files, folders and sockets are real; the program's
// folders live in a scratch folder that the world removes again.
//
// One World per test, created on the test's thread; it is that thread's platform context.

#include "platform/dialogs.h"
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

    platform::Context& context();

private:
    struct State;
    class SimBackend;
    std::unique_ptr<State> state_;
};

} // namespace platform::sim
