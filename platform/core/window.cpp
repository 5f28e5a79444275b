#include "platform/window.h"

#include "context.h"
#include "platform/desktop.h"
#include "platform/loop.h"
#include "platform/messages.h"

namespace platform {

namespace {

WindowRecord* record(Handle handle)
{
    Context* context = Context::currentOrNull();
    return context ? context->find(handle) : nullptr;
}

Point screenOrigin(Handle handle)
{
    Point origin;
    for (WindowRecord* r = record(handle); r; r = r->isChild() ? record(r->parent) : nullptr) {
        origin.x += r->rect.left;
        origin.y += r->rect.top;
    }
    return origin;
}

Rect workArea()
{
    Rect area = screenRect();
    if (Handle taskbar = findWindow("Shell_TrayWnd", ""))
        area.bottom = windowRect(taskbar).top;
    return area;
}

void sendSize(Handle handle, std::uintptr_t kind)
{
    const WindowRecord* r = record(handle);
    if (r)
        send(handle, WM_SIZE, kind, makeLParam(r->rect.width(), r->rect.height()));
}

bool activates(Show command)
{
    switch (command) {
    case Show::Normal:
    case Show::Maximize:
    case Show::Show:
    case Show::Restore:
    case Show::Minimized:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

Window::~Window()
{
    if (handle_ == 0)
        return;
    // The derived part of this object is gone already: its handler must not run any more.
    Context& context = Context::current();
    context.detachObject(handle_);
    context.destroyWindow(handle_);
    handle_ = 0;
}

bool Window::create(const CreateParams& params)
{
    if (handle_ != 0)
        return false;
    Context& context = Context::current();
    handle_ = context.createWindow(params, this);
    if (handle_ == 0)
        return false;
    const Handle handle = handle_;
    if (send(handle, WM_CREATE, 0, 0) == -1) {
        context.destroyWindow(handle);
        handle_ = 0;
        return false;
    }
    if (!isWindow(handle))
        return false;
    sendSize(handle, SIZE_RESTORED);
    if (params.style & WS_VISIBLE)
        showWindow(handle, (params.style & WS_CHILD) ? Show::ShowNA : Show::Show);
    return handle_ != 0;
}

LResult Window::onMessage(std::uint32_t message, WParam wParam, LParam lParam)
{
    return defaultHandling(message, wParam, lParam);
}

bool Window::preTranslateMessage(const Message&) { return false; }

LResult Window::defaultHandling(std::uint32_t message, WParam wParam, LParam lParam)
{
    switch (message) {
    case WM_CLOSE:
        destroyWindow(handle_);
        return 0;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION || wParam == HTGROWBOX) {
            const Point client{xFromLParam(lParam), yFromLParam(lParam)};
            Context::current().backend().beginDrag(handle_, wParam, clientToScreen(handle_, client));
        }
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------

bool isWindow(Handle window) { return record(window) != nullptr; }

bool destroyWindow(Handle window)
{
    Context* context = Context::currentOrNull();
    return context && context->destroyWindow(window);
}

bool showWindow(Handle window, Show command)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    Context& context = Context::current();
    const bool wasVisible = r->visible;
    unsigned changes = kChangeVisibility;
    std::uintptr_t sizeKind = 0;
    bool sizeChanged = false;

    switch (command) {
    case Show::Hide:
        r->visible = false;
        if (context.foreground() == window)
            context.setForeground(0);
        break;
    case Show::Minimize:
    case Show::Minimized:
        if (r->state == WindowRecord::State::Normal)
            r->normalRect = r->rect;
        r->state = WindowRecord::State::Minimized;
        r->visible = true;
        changes |= kChangeState;
        if (context.foreground() == window && command == Show::Minimize)
            context.setForeground(0);
        sizeKind = SIZE_MINIMIZED;
        sizeChanged = true;
        break;
    case Show::Maximize:
        if (r->state == WindowRecord::State::Normal)
            r->normalRect = r->rect;
        r->state = WindowRecord::State::Maximized;
        r->rect = r->isChild() ? clientRect(r->parent) : workArea();
        r->visible = true;
        changes |= kChangeState | kChangeGeometry;
        sizeKind = SIZE_MAXIMIZED;
        sizeChanged = true;
        break;
    case Show::Normal:
    case Show::Restore:
        if (r->state != WindowRecord::State::Normal) {
            r->state = WindowRecord::State::Normal;
            r->rect = r->normalRect;
            changes |= kChangeState | kChangeGeometry;
            sizeChanged = true;
        }
        r->visible = true;
        break;
    case Show::Show:
    case Show::NoActivate:
    case Show::ShowNA:
        r->visible = true;
        break;
    }
    if (r->visible && activates(command) && !r->isChild()) {
        context.bringToFront(window);
        context.setForeground(window);
        changes |= kChangeZOrder;
    }
    r->style = (r->style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | (r->visible ? WS_VISIBLE : 0) |
               (r->state == WindowRecord::State::Minimized ? WS_MINIMIZE : 0) |
               (r->state == WindowRecord::State::Maximized ? WS_MAXIMIZE : 0);
    context.notifyChanged(window, changes);
    if (sizeChanged)
        sendSize(window, sizeKind);
    return wasVisible;
}

bool setWindowPos(Handle window, Handle insertAfter, int x, int y, int cx, int cy, std::uint32_t flags)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    Context& context = Context::current();
    unsigned changes = 0;
    const Rect before = r->rect;
    if (!(flags & SWP_NOZORDER) && !r->isChild()) {
        context.placeInZOrder(window, insertAfter);
        changes |= kChangeZOrder;
    }
    Rect next = r->rect;
    if (!(flags & SWP_NOMOVE)) {
        next.right = x + next.width();
        next.bottom = y + next.height();
        next.left = x;
        next.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        next.right = next.left + (cx < 0 ? 0 : cx);
        next.bottom = next.top + (cy < 0 ? 0 : cy);
    }
    if (next != before) {
        r->rect = next;
        if (r->state == WindowRecord::State::Normal)
            r->normalRect = next;
        changes |= kChangeGeometry;
    }
    if (flags & SWP_SHOWWINDOW) {
        r->visible = true;
        r->style |= WS_VISIBLE;
        changes |= kChangeVisibility;
    } else if (flags & SWP_HIDEWINDOW) {
        r->visible = false;
        r->style &= ~WS_VISIBLE;
        changes |= kChangeVisibility;
        if (context.foreground() == window)
            context.setForeground(0);
    }
    if (!(flags & SWP_NOACTIVATE) && r->visible && !r->isChild())
        context.setForeground(window);
    if (changes)
        context.notifyChanged(window, changes);
    if (before.left != next.left || before.top != next.top)
        send(window, WM_MOVE, 0, makeLParam(next.left, next.top));
    if (before.width() != next.width() || before.height() != next.height())
        sendSize(window, SIZE_RESTORED);
    return true;
}

bool moveWindow(Handle window, const Rect& rect)
{
    return setWindowPos(window, HWND_TOP, rect.left, rect.top, rect.width(), rect.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect windowRect(Handle window)
{
    const WindowRecord* r = record(window);
    if (!r)
        return {};
    if (window == Context::current().desktop())
        return screenRect();
    if (!r->isChild())
        return r->rect;
    const Point origin = screenOrigin(window);
    return Rect{origin.x, origin.y, origin.x + r->rect.width(), origin.y + r->rect.height()};
}

Rect clientRect(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? Rect{0, 0, r->rect.width(), r->rect.height()} : Rect{};
}

Point clientToScreen(Handle window, Point p)
{
    const Point origin = screenOrigin(window);
    return Point{p.x + origin.x, p.y + origin.y};
}

Point screenToClient(Handle window, Point p)
{
    const Point origin = screenOrigin(window);
    return Point{p.x - origin.x, p.y - origin.y};
}

bool isVisible(Handle window)
{
    const WindowRecord* r = record(window);
    if (!r || !r->visible)
        return false;
    return r->isChild() ? isVisible(r->parent) : true;
}

bool isMinimized(Handle window)
{
    const WindowRecord* r = record(window);
    return r && r->state == WindowRecord::State::Minimized;
}

bool isMaximized(Handle window)
{
    const WindowRecord* r = record(window);
    return r && r->state == WindowRecord::State::Maximized;
}

std::string windowText(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->title : std::string();
}

bool setWindowText(Handle window, const std::string& text)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    r->title = text;
    Context::current().notifyChanged(window, kChangeTitle);
    return true;
}

std::string className(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->className : std::string();
}

std::uint32_t windowStyle(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->style : 0;
}

std::uint32_t windowExStyle(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->exStyle : 0;
}

bool setWindowStyle(Handle window, std::uint32_t style)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    const std::uint32_t kept = r->style & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    r->style = (style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | kept;
    Context::current().notifyChanged(window, kChangeStyle);
    return true;
}

bool setWindowExStyle(Handle window, std::uint32_t exStyle)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    const bool wasLayered = (r->exStyle & WS_EX_LAYERED) != 0;
    r->exStyle = (exStyle & ~WS_EX_TOPMOST) | (r->exStyle & WS_EX_TOPMOST);
    // Leaving the layered style makes the window fully opaque again.
    if (wasLayered && !(exStyle & WS_EX_LAYERED))
        r->opacity.reset();
    Context::current().notifyChanged(window, kChangeStyle);
    return true;
}

Handle parentWindow(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->parent : 0;
}

Handle childById(Handle parent, int id)
{
    Context* context = Context::currentOrNull();
    if (!context)
        return 0;
    for (Handle h : context->windows()) {
        const WindowRecord* r = context->find(h);
        if (r->isChild() && r->parent == parent && r->controlId == id)
            return h;
    }
    return 0;
}

int controlId(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->controlId : 0;
}

Window* windowObject(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->object : nullptr;
}

bool setForegroundWindow(Handle window)
{
    WindowRecord* r = record(window);
    if (!r || r->isChild())
        return false;
    Context& context = Context::current();
    context.bringToFront(window);
    context.setForeground(window);
    context.notifyChanged(window, kChangeZOrder);
    return true;
}

Handle foregroundWindow()
{
    Context* context = Context::currentOrNull();
    return context ? context->foreground() : 0;
}

bool setFocus(Handle window)
{
    if (!record(window))
        return false;
    Context::current().setFocusHandle(window);
    send(window, WM_SETFOCUS, 0, 0);
    return true;
}

Handle focusWindow()
{
    Context* context = Context::currentOrNull();
    return context ? context->focus() : 0;
}

bool setWindowOpacity(Handle window, std::uint8_t alpha)
{
    WindowRecord* r = record(window);
    if (!r || !(r->exStyle & WS_EX_LAYERED))
        return false;
    if (!Context::current().backend().applyOpacity(window, alpha))
        return false;
    r->opacity = alpha;
    return true;
}

std::optional<std::uint8_t> windowOpacity(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->opacity : std::nullopt;
}

bool setWindowRegion(Handle window, const Region& region)
{
    WindowRecord* r = record(window);
    if (!r)
        return false;
    r->region = region;
    Context::current().notifyChanged(window, kChangeRegion);
    return true;
}

Region windowRegion(Handle window)
{
    const WindowRecord* r = record(window);
    return r ? r->region : Region{};
}

void redrawWindow(Handle window)
{
    if (record(window))
        Context::current().notifyChanged(window, kChangeStyle);
}

std::vector<Handle> zOrder()
{
    Context* context = Context::currentOrNull();
    return context ? context->zOrder() : std::vector<Handle>{};
}

// ---------------------------------------------------------------------------------------------
// Loop and desktop entry points

std::int64_t nowMs() { return Context::current().backend().now(); }

bool post(Handle window, std::uint32_t message, WParam wParam, LParam lParam)
{
    Context* context = Context::forPosting();
    return context && context->post(window, message, wParam, lParam);
}

LResult send(Handle window, std::uint32_t message, WParam wParam, LParam lParam)
{
    Context* context = Context::currentOrNull();
    return context ? context->send(window, message, wParam, lParam) : 0;
}

bool setTimer(Handle window, std::uintptr_t id, std::uint32_t periodMs)
{
    return Context::current().setTimer(window, id, periodMs);
}

bool killTimer(Handle window, std::uintptr_t id) { return Context::current().killTimer(window, id); }

bool hasTimer(Handle window, std::uintptr_t id) { return Context::current().hasTimer(window, id); }

int run() { return Context::current().run(); }

void quit(int exitCode) { Context::current().quit(exitCode); }

Handle desktopWindow() { return Context::current().desktop(); }

Rect screenRect()
{
    Context& context = Context::current();
    const Rect screen = context.backend().screenRect();
    if (WindowRecord* desktop = context.find(context.desktop()))
        desktop->rect = screen;
    return screen;
}

Handle findWindow(const std::string& wantedClass, const std::string& title)
{
    Context& context = Context::current();
    for (Handle h : context.windows()) {
        const WindowRecord* r = context.find(h);
        if (!r->isChild() && !r->destroying && r->className == wantedClass && r->title == title)
            return h;
    }
    return 0;
}

Point cursorPos() { return Context::current().backend().cursorPos(); }

} // namespace platform
