#include "native_windows.h"

#include "../core/context.h"
#include "geometry.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/window.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>

namespace platform::gtk {

namespace {

// Key and button state in the wParam of mouse messages.
constexpr WParam MK_LBUTTON = 0x0001;
constexpr WParam MK_RBUTTON = 0x0002;
constexpr WParam MK_SHIFT = 0x0004;
constexpr WParam MK_CONTROL = 0x0008;

WindowRecord* record(Handle handle) { return Context::current().find(handle); }

// GTK refuses empty windows; a window the programs size to nothing is kept at one pixel.
int atLeastOne(int length) { return std::max(length, 1); }

} // namespace

struct NativeWindows::Native {
    NativeWindows* owner = nullptr;
    Handle handle = 0;
    bool topLevel = true;
    GtkWidget* widget = nullptr;   // the GtkWindow, or a child's event box
    GtkWidget* layout = nullptr;   // where the window's children are placed
    bool mapped = false;
    // The geometry last asked of the window manager, until a configure event confirms it. Events
    // that arrive meanwhile describe an older state and would undo newer moves.
    std::optional<Rect> requested;
};

NativeWindows::NativeWindows() = default;

NativeWindows::~NativeWindows()
{
    // Children go with their top-level window.
    for (auto& [handle, native] : natives_)
        if (native->topLevel)
            gtk_widget_destroy(native->widget);
}

NativeWindows::Native* NativeWindows::find(Handle window) const
{
    auto it = natives_.find(window);
    return it == natives_.end() ? nullptr : it->second.get();
}

NativeWindows::Native* NativeWindows::topLevelOf(Handle window) const
{
    for (const WindowRecord* r = record(window); r; r = r->isChild() ? record(r->parent) : nullptr)
        if (!r->isChild())
            return find(r->handle);
    return nullptr;
}

void NativeWindows::created(Handle window)
{
    const WindowRecord* r = record(window);
    // Pseudo-windows (the desktop, the taskbar) have no object and nothing to show.
    if (!r || !r->object)
        return;
    Native* parent = r->isChild() ? find(r->parent) : nullptr;
    if (r->isChild() && !parent)
        return;
    auto native = std::make_unique<Native>();
    native->owner = this;
    native->handle = window;
    native->layout = gtk_layout_new(nullptr, nullptr);
    gtk_widget_show(native->layout);

    if (parent) {
        native->topLevel = false;
        // A layout (not a fixed container) holds the children: it clips them to the parent and
        // never grows the parent to fit them, as child windows behave on the desktop the
        // programs were written for.
        native->widget = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(native->widget), native->layout);
        gtk_layout_put(GTK_LAYOUT(parent->layout), native->widget, r->rect.left, r->rect.top);
        gtk_widget_set_size_request(native->widget, atLeastOne(r->rect.width()), atLeastOne(r->rect.height()));
    } else {
        native->widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWindow* gtkWindow = GTK_WINDOW(native->widget);
        gtk_window_set_decorated(gtkWindow, FALSE);
        gtk_window_set_title(gtkWindow, r->title.c_str());
        gtk_window_set_keep_above(gtkWindow, r->topmost);
        gtk_container_add(GTK_CONTAINER(gtkWindow), native->layout);
        g_signal_connect(native->widget, "delete-event", G_CALLBACK(onDelete), native.get());
        g_signal_connect(native->widget, "configure-event", G_CALLBACK(onConfigure), native.get());
        g_signal_connect(native->widget, "map-event", G_CALLBACK(onMap), native.get());
        g_signal_connect(native->widget, "unmap-event", G_CALLBACK(onUnmap), native.get());
    }
    gtk_widget_add_events(native->widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(native->widget, "button-press-event", G_CALLBACK(onButton), native.get());
    g_signal_connect(native->widget, "button-release-event", G_CALLBACK(onButton), native.get());

    Native& entry = *native;
    natives_.emplace(window, std::move(native));
    if (entry.topLevel) {
        applyTaskbarHints(entry);
        applyGeometry(entry);
        // Realized at once, so the hidden window exists on the display with its class, as a
        // hidden window does on the desktop the programs were written for.
        gtk_widget_realize(entry.widget);
        GdkWindow* gdkWindow = gtk_widget_get_window(entry.widget);
        XClassHint hint;
        hint.res_name = const_cast<char*>(r->className.c_str());
        hint.res_class = const_cast<char*>(gdk_get_program_class());
        XSetClassHint(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow), &hint);
    }
}

bool NativeWindows::adoptChild(Handle window, GtkWidget* content)
{
    const WindowRecord* r = record(window);
    Native* parent = r && r->isChild() ? find(r->parent) : nullptr;
    if (!parent || find(window))
        return false;
    auto native = std::make_unique<Native>();
    native->owner = this;
    native->handle = window;
    native->topLevel = false;
    native->widget = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(native->widget), content);
    gtk_widget_show(content);
    gtk_layout_put(GTK_LAYOUT(parent->layout), native->widget, r->rect.left, r->rect.top);
    gtk_widget_set_size_request(native->widget, atLeastOne(r->rect.width()), atLeastOne(r->rect.height()));
    Native& entry = *native;
    natives_.emplace(window, std::move(native));
    applyVisibility(entry);
    return true;
}

void NativeWindows::changed(Handle window, unsigned changes)
{
    Native* native = find(window);
    const WindowRecord* r = record(window);
    if (!native || !r)
        return;
    if (native->topLevel) {
        GtkWindow* gtkWindow = GTK_WINDOW(native->widget);
        if (changes & kChangeTitle)
            gtk_window_set_title(gtkWindow, r->title.c_str());
        if (changes & kChangeStyle)
            applyTaskbarHints(*native);
        if (changes & kChangeState) {
            if (r->state == WindowRecord::State::Minimized)
                gtk_window_iconify(gtkWindow);
            else
                gtk_window_deiconify(gtkWindow);
        }
        if (changes & kChangeZOrder) {
            gtk_window_set_keep_above(gtkWindow, r->topmost);
            restack(*native);
        }
    }
    if (changes & kChangeStyle) {
        applyOpacityNow(*native);
        gtk_widget_queue_draw(native->widget);
    }
    if (changes & kChangeGeometry)
        applyGeometry(*native);
    if (changes & kChangeRegion)
        applyRegion(*native);
    if (changes & kChangeVisibility)
        applyVisibility(*native);
    if ((changes & kChangeActivation) && native->topLevel && native->mapped &&
        Context::current().foreground() == window)
        gtk_window_present_with_time(GTK_WINDOW(native->widget), lastInputTime_);
}

void NativeWindows::destroyed(Handle window)
{
    auto it = natives_.find(window);
    if (it == natives_.end())
        return;
    // Children were destroyed before their parent, so this removes one widget only.
    gtk_widget_destroy(it->second->widget);
    natives_.erase(it);
}

void NativeWindows::applyTaskbarHints(Native& native)
{
    const WindowRecord* r = record(native.handle);
    // Tool windows and owned windows have no taskbar button.
    const bool skip = (r->exStyle & WS_EX_TOOLWINDOW) || r->parent != 0;
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(native.widget), skip);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(native.widget), skip);
}

void NativeWindows::applyGeometry(Native& native)
{
    const WindowRecord* r = record(native.handle);
    const Rect rect{r->rect.left, r->rect.top, r->rect.left + atLeastOne(r->rect.width()),
                    r->rect.top + atLeastOne(r->rect.height())};
    if (native.topLevel) {
        GtkWindow* gtkWindow = GTK_WINDOW(native.widget);
        gtk_window_move(gtkWindow, rect.left, rect.top);
        gtk_window_resize(gtkWindow, rect.width(), rect.height());
        native.requested = rect;
    } else if (Native* parent = find(r->parent)) {
        gtk_layout_move(GTK_LAYOUT(parent->layout), native.widget, rect.left, rect.top);
        gtk_widget_set_size_request(native.widget, rect.width(), rect.height());
    }
}

void NativeWindows::applyVisibility(Native& native)
{
    const WindowRecord* r = record(native.handle);
    if (!r->visible) {
        gtk_widget_hide(native.widget);
        return;
    }
    if (native.topLevel) {
        // A window shown without activation must not take the focus when it is mapped.
        gtk_window_set_focus_on_map(GTK_WINDOW(native.widget), Context::current().foreground() == native.handle);
        applyGeometry(native);
    }
    gtk_widget_show(native.widget);
}

void NativeWindows::applyRegion(Native& native)
{
    const WindowRecord* r = record(native.handle);
    if (r->region.polygon.empty()) {
        gtk_widget_shape_combine_region(native.widget, nullptr);
        return;
    }
    cairo_region_t* region = cairo_region_create();
    for (const Rect& rect : polygonRectangles(r->region.polygon)) {
        const cairo_rectangle_int_t part{rect.left, rect.top, rect.width(), rect.height()};
        cairo_region_union_rectangle(region, &part);
    }
    gtk_widget_shape_combine_region(native.widget, region);
    cairo_region_destroy(region);
}

void NativeWindows::applyOpacityNow(Native& native)
{
    // Opacity only takes effect on a mapped window; the map handler comes back here.
    if (!native.topLevel || !native.mapped)
        return;
    const WindowRecord* r = record(native.handle);
    gtk_widget_set_opacity(native.widget, r->opacity ? *r->opacity / 255.0 : 1.0);
}

bool NativeWindows::applyOpacity(Handle window, std::uint8_t alpha)
{
    Native* native = find(window);
    if (!native || !native->topLevel || !gdk_screen_is_composited(gtk_widget_get_screen(native->widget)))
        return false;
    if (native->mapped)
        gtk_widget_set_opacity(native->widget, alpha / 255.0);
    return true;
}

void NativeWindows::restack(Native& native)
{
    // Directly below the nearest window in front of it that has a native window; at the very
    // front when there is none.
    const std::vector<Handle>& order = Context::current().zOrder();
    auto self = std::find(order.begin(), order.end(), native.handle);
    GdkWindow* gdkWindow = gtk_widget_get_window(native.widget);
    if (self == order.end() || !gdkWindow)
        return;
    for (auto it = std::make_reverse_iterator(self); it != order.rend(); ++it) {
        const Native* front = find(*it);
        if (front && front->topLevel && gtk_widget_get_window(front->widget)) {
            gdk_window_restack(gdkWindow, gtk_widget_get_window(front->widget), FALSE);
            return;
        }
    }
    gdk_window_raise(gdkWindow);
}

void NativeWindows::beginDrag(Handle window, std::uintptr_t hitTest, Point screenPoint)
{
    Native* native = topLevelOf(window);
    if (!native || !native->mapped)
        return;
    // The window manager (or GTK without one) moves the window now; its configure events are the
    // truth from here on.
    native->requested.reset();
    GtkWindow* gtkWindow = GTK_WINDOW(native->widget);
    if (hitTest == HTCAPTION)
        gtk_window_begin_move_drag(gtkWindow, GDK_BUTTON_PRIMARY, screenPoint.x, screenPoint.y, lastInputTime_);
    else
        gtk_window_begin_resize_drag(gtkWindow, GDK_WINDOW_EDGE_SOUTH_EAST, GDK_BUTTON_PRIMARY, screenPoint.x,
                                     screenPoint.y, lastInputTime_);
}

GtkWindow* NativeWindows::shownTopLevel(Handle window) const
{
    Native* native = topLevelOf(window);
    return native && native->mapped ? GTK_WINDOW(native->widget) : nullptr;
}

std::optional<NativeGeometry> NativeWindows::geometry(Handle window) const
{
    const Native* native = find(window);
    GdkWindow* gdkWindow = native ? gtk_widget_get_window(native->widget) : nullptr;
    if (!gdkWindow)
        return std::nullopt;
    if (!native->topLevel) {
        // Child windows are drawn by GDK inside their top-level window; GDK knows their place.
        int x = 0;
        int y = 0;
        gdk_window_get_origin(gdkWindow, &x, &y);
        return NativeGeometry{Rect{x, y, x + gdk_window_get_width(gdkWindow), y + gdk_window_get_height(gdkWindow)},
                              gdk_window_is_viewable(gdkWindow) != FALSE};
    }
    // Top-level windows: ask the X server itself.
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    const ::Window xid = GDK_WINDOW_XID(gdkWindow);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, xid, &attributes))
        return std::nullopt;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, xid, attributes.root, 0, 0, &x, &y, &child);
    return NativeGeometry{Rect{x, y, x + attributes.width, y + attributes.height}, attributes.map_state == IsViewable};
}

unsigned long NativeWindows::windowId(Handle window) const
{
    const Native* native = find(window);
    GdkWindow* gdkWindow = native && native->topLevel ? gtk_widget_get_window(native->widget) : nullptr;
    return gdkWindow ? GDK_WINDOW_XID(gdkWindow) : 0;
}

void NativeWindows::configured(Native& native, const Rect& rect)
{
    if (native.requested) {
        if (*native.requested == rect)
            native.requested.reset();
        return;
    }
    WindowRecord* r = record(native.handle);
    if (!r || r->rect == rect)
        return;
    // The window manager or the user moved or sized the window: the table follows, and the
    // window hears of it as it would from the desktop.
    const Rect before = r->rect;
    r->rect = rect;
    if (r->state == WindowRecord::State::Normal)
        r->normalRect = rect;
    if (before.left != rect.left || before.top != rect.top)
        send(native.handle, WM_MOVE, 0, makeLParam(rect.left, rect.top));
    if (before.width() != rect.width() || before.height() != rect.height())
        send(native.handle, WM_SIZE, SIZE_RESTORED, makeLParam(rect.width(), rect.height()));
}

gboolean NativeWindows::onButton(GtkWidget*, GdkEventButton* event, gpointer data)
{
    Native& native = *static_cast<Native*>(data);
    const bool left = event->button == GDK_BUTTON_PRIMARY;
    const bool right = event->button == GDK_BUTTON_SECONDARY;
    std::uint32_t message = 0;
    WParam keys = ((event->state & GDK_BUTTON1_MASK) ? MK_LBUTTON : 0) | ((event->state & GDK_BUTTON3_MASK) ? MK_RBUTTON : 0) |
                  ((event->state & GDK_SHIFT_MASK) ? MK_SHIFT : 0) | ((event->state & GDK_CONTROL_MASK) ? MK_CONTROL : 0);
    const WParam button = left ? MK_LBUTTON : right ? MK_RBUTTON : 0;
    // GDK reports a double click as a second press followed by a double-press event; the second
    // press becomes a plain button-down message.
    switch (event->type) {
    case GDK_BUTTON_PRESS:
        message = left ? WM_LBUTTONDOWN : right ? WM_RBUTTONDOWN : 0;
        keys |= button;
        break;
    case GDK_2BUTTON_PRESS:
        message = left ? WM_LBUTTONDBLCLK : 0;
        keys |= button;
        break;
    case GDK_BUTTON_RELEASE:
        message = left ? WM_LBUTTONUP : right ? WM_RBUTTONUP : 0;
        keys &= ~button;
        break;
    default:
        break;
    }
    if (!message)
        return FALSE;
    native.owner->lastInputTime_ = event->time;
    const Point client = screenToClient(native.handle, Point{static_cast<int>(std::floor(event->x_root)),
                                                             static_cast<int>(std::floor(event->y_root))});
    post(native.handle, message, keys, makeLParam(client.x, client.y));
    return TRUE;
}

gboolean NativeWindows::onDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    // The close button asks the window; only the window decides to destroy itself.
    post(static_cast<Native*>(data)->handle, WM_CLOSE);
    return TRUE;
}

gboolean NativeWindows::onConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data)
{
    Native& native = *static_cast<Native*>(data);
    native.owner->configured(native, Rect{event->x, event->y, event->x + event->width, event->y + event->height});
    return FALSE;
}

gboolean NativeWindows::onMap(GtkWidget*, GdkEvent*, gpointer data)
{
    Native& native = *static_cast<Native*>(data);
    native.mapped = true;
    native.owner->applyOpacityNow(native);
    return FALSE;
}

gboolean NativeWindows::onUnmap(GtkWidget*, GdkEvent*, gpointer data)
{
    static_cast<Native*>(data)->mapped = false;
    return FALSE;
}

} // namespace platform::gtk
