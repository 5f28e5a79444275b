#pragma once
// Windows: a base class with one virtual message handler, and free functions that act on any
// window by handle (the programs keep handles of windows they do not own, such as the desktop
// and the taskbar).

#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Context;

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;

// Extended styles.
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
inline constexpr std::uint32_t WS_EX_LAYERED = 0x00080000u;

// Show commands.
enum class Show : int {
    Hide = 0,
    Normal = 1,
    Minimized = 2,
    Maximize = 3,
    NoActivate = 4,
    Show = 5,
    Minimize = 6,
    ShowNA = 8,
    Restore = 9,
};

// Insert-after values for setWindowPos besides a real window handle.
inline constexpr Handle HWND_TOP = 0;
inline constexpr Handle HWND_BOTTOM = 1;
inline constexpr Handle HWND_TOPMOST = static_cast<Handle>(-1);
inline constexpr Handle HWND_NOTOPMOST = static_cast<Handle>(-2);

// setWindowPos flags.
inline constexpr std::uint32_t SWP_NOSIZE = 0x0001;
inline constexpr std::uint32_t SWP_NOMOVE = 0x0002;
inline constexpr std::uint32_t SWP_NOZORDER = 0x0004;
inline constexpr std::uint32_t SWP_NOREDRAW = 0x0008;
inline constexpr std::uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;
inline constexpr std::uint32_t SWP_HIDEWINDOW = 0x0080;

struct CreateParams {
    std::string className;
    std::string title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    Rect rect;           // screen coordinates, or parent-client coordinates for a child
    Handle parent = 0;   // the parent of a WS_CHILD window, otherwise the owner
    int controlId = 0;   // children only
};

// A window polygon in client coordinates; an empty region means the plain rectangle.
struct Region {
    std::vector<Point> polygon;
    friend bool operator==(const Region&, const Region&) = default;
};

// A message as pre-translation sees it: `window` is the window it is aimed at.
struct Message {
    Handle window = 0;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys the window if it still exists.
    virtual ~Window();

    // Creates the window and sends it WM_CREATE; a handler answering -1 makes creation fail (the
    // window is then destroyed again). WM_SIZE follows a successful creation.
    bool create(const CreateParams& params);
    Handle handle() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

    // The window's message handler. The default answers as the platform's default window
    // procedure does (for example WM_CLOSE destroys the window).
    virtual LResult onMessage(std::uint32_t message, WParam wParam, LParam lParam);
    LResult defaultHandling(std::uint32_t message, WParam wParam, LParam lParam);

    // Mouse input from the desktop is offered here before it is delivered: first to the window
    // it is aimed at, then to each of that window's parents, so a window also sees the clicks
    // on the controls inside it (a browser's page included). True keeps the message from going
    // further.
    virtual bool preTranslateMessage(const Message& message);

    // Called once the handle is gone (after WM_NCDESTROY); the object may delete itself here.
    virtual void onDestroyed() {}

private:
    friend class Context;
    Handle handle_ = 0;
};

// Operations on any window by handle. They do nothing (and return false or empty values) for a
// handle that names no window.
bool isWindow(Handle window);
bool destroyWindow(Handle window);
bool showWindow(Handle window, Show command);
bool setWindowPos(Handle window, Handle insertAfter, int x, int y, int cx, int cy, std::uint32_t flags);
bool moveWindow(Handle window, const Rect& rect);
Rect windowRect(Handle window);         // screen coordinates
Rect clientRect(Handle window);         // (0, 0, width, height)
Point clientToScreen(Handle window, Point p);
Point screenToClient(Handle window, Point p);
bool isVisible(Handle window);          // the window and every parent shown
bool isMinimized(Handle window);
bool isMaximized(Handle window);
std::string windowText(Handle window);
bool setWindowText(Handle window, const std::string& text);
std::string className(Handle window);
std::uint32_t windowStyle(Handle window);
std::uint32_t windowExStyle(Handle window);
bool setWindowStyle(Handle window, std::uint32_t style);
bool setWindowExStyle(Handle window, std::uint32_t exStyle);
Handle parentWindow(Handle window);
Handle childById(Handle parent, int controlId);
int controlId(Handle window);
Window* windowObject(Handle window);

bool setForegroundWindow(Handle window);
Handle foregroundWindow();
bool setFocus(Handle window);
Handle focusWindow();

// Layered-window opacity (0..255). Fails where the display cannot make windows translucent; the
// window is then drawn opaque.
bool setWindowOpacity(Handle window, std::uint8_t alpha);
std::optional<std::uint8_t> windowOpacity(Handle window);
bool setWindowRegion(Handle window, const Region& region);
Region windowRegion(Handle window);
void redrawWindow(Handle window);

// Top-level windows front to back; topmost windows come before the others.
std::vector<Handle> zOrder();

} // namespace platform
