#include "gtk_backend.h"

#include "../core/context.h"
#include "geometry.h"
#include "platform/errors.h"
#include "programs.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::gtk {

namespace {

// ---------------------------------------------------------------------------------------------
// Folders

std::string modulePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : g_get_home_dir();
}

// XDG base folders must be absolute; anything else in the variable is ignored.
std::string dataHome()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    return data && data[0] == '/' ? data : homeFolder() + "/.local/share";
}

bool isPrivateFolder(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 077) == 0;
}

// Where the named mutexes' lock files go. The fallback in /tmp has a name anyone can take first,
// so it is only used when it is really ours; otherwise a folder in the user's own data folder.
std::string runtimeFolder(const std::string& programName, const std::string& programData)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    const std::string shared = "/tmp/" + programName + "-" + std::to_string(getuid());
    mkdir(shared.c_str(), 0700);
    if (isPrivateFolder(shared))
        return shared;
    const std::string own = programData + "/run";
    g_mkdir_with_parents(own.c_str(), 0700);
    return own;
}

Folders makeFolders(const std::string& programName)
{
    const std::string programData = dataHome() + "/" + programName;
    Folders folders;
    folders.modulePath = modulePath();
    folders.windowsFolder = programData + "/windows";
    folders.systemFolder = programData + "/system";
    const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    folders.desktopFolder = desktop ? desktop : homeFolder() + "/Desktop";
    folders.runtimeFolder = runtimeFolder(programName, programData);
    // The programs download into "<windows>/temp" and expect it to be there.
    g_mkdir_with_parents((folders.windowsFolder + "/temp").c_str(), 0700);
    return folders;
}

// ---------------------------------------------------------------------------------------------
// Delivery of the layer's messages and timers from any GLib loop: the programs' own loop, and
// the nested loops of modal dialogs, which keep delivering as modal loops on the desktop do.

bool readyToDispatch(gint* timeout)
{
    *timeout = -1;
    Context* context = Context::currentOrNull();
    // Once quit is asked inside run(), nothing more is delivered until the loop has ended.
    if (!context || (context->quitRequested() && context->running()))
        return false;
    if (context->hasPostedMessages()) {
        *timeout = 0;
        return true;
    }
    const std::optional<std::int64_t> deadline = context->nextDeadline();
    if (!deadline)
        return false;
    const gint64 remaining = *deadline * 1000 - g_get_monotonic_time();
    if (remaining <= 0) {
        *timeout = 0;
        return true;
    }
    *timeout = static_cast<gint>(std::min<gint64>((remaining + 999) / 1000, G_MAXINT));
    return false;
}

gboolean dispatchPrepare(GSource*, gint* timeout) { return readyToDispatch(timeout); }

gboolean dispatchCheck(GSource*)
{
    gint timeout;
    return readyToDispatch(&timeout);
}

gboolean dispatchReady(GSource*, GSourceFunc, gpointer)
{
    if (Context* context = Context::currentOrNull())
        context->dispatchReady();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs gDispatchFuncs = {dispatchPrepare, dispatchCheck, dispatchReady, nullptr, nullptr, nullptr};

GdkMonitor* primaryMonitor()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor ? monitor : gdk_display_get_monitor(display, 0);
}

Rect toRect(const GdkRectangle& r) { return Rect{r.x, r.y, r.x + r.width, r.y + r.height}; }

// The message box text as GTK shows it: the programs break lines the Windows way.
std::string withLineBreaks(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        shown += text[i];
    }
    return shown;
}

GtkResponseType responseFor(int button)
{
    switch (button) {
    case IDOK: return GTK_RESPONSE_OK;
    case IDYES: return GTK_RESPONSE_YES;
    case IDNO: return GTK_RESPONSE_NO;
    default: return GTK_RESPONSE_NONE;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

GtkBackend::GtkBackend(const std::string& programName, bool display)
    : display_(display), folders_(makeFolders(programName)), mainContext_(g_main_context_default())
{
    if (display_)
        tray_ = makeStatusIconTray();
}

GtkBackend::~GtkBackend()
{
    if (dispatchSource_) {
        g_source_destroy(dispatchSource_);
        g_source_unref(dispatchSource_);
    }
    if (display_ && context_) {
        GdkScreen* screen = gdk_screen_get_default();
        gdk_window_remove_filter(gdk_screen_get_root_window(screen), onRootEvent, this);
        g_signal_handlers_disconnect_by_data(screen, this);
    }
}

void GtkBackend::attach(Context& context)
{
    context_ = &context;
    dispatchSource_ = g_source_new(&gDispatchFuncs, sizeof(GSource));
    // Handlers run nested loops (message boxes); delivery must go on inside them.
    g_source_set_can_recurse(dispatchSource_, TRUE);
    g_source_set_name(dispatchSource_, "platform messages and timers");
    g_source_attach(dispatchSource_, mainContext_);
    if (!display_)
        return;
    // The work area is announced on the root window; a panel appearing, moving or going away
    // changes it.
    GdkScreen* screen = gdk_screen_get_default();
    GdkWindow* root = gdk_screen_get_root_window(screen);
    gdk_window_set_events(root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    gdk_window_add_filter(root, onRootEvent, this);
    g_signal_connect(screen, "monitors-changed", G_CALLBACK(onMonitorsChanged), this);
    updateTaskbar();
}

void GtkBackend::updateTaskbar()
{
    GdkMonitor* monitor = primaryMonitor();
    if (!monitor)
        return;
    GdkRectangle geometry;
    GdkRectangle workArea;
    gdk_monitor_get_geometry(monitor, &geometry);
    gdk_monitor_get_workarea(monitor, &workArea);
    const std::optional<Rect> rect = taskbarRect(toRect(geometry), toRect(workArea));
    WindowRecord* record = taskbar_ ? context_->find(taskbar_) : nullptr;
    if (!rect) {
        if (record)
            context_->destroyWindow(taskbar_);
        taskbar_ = 0;
    } else if (record) {
        record->rect = *rect;
    } else {
        taskbar_ = context_->createPseudoWindow("Shell_TrayWnd", "", *rect);
    }
}

GdkFilterReturn GtkBackend::onRootEvent(GdkXEvent* xevent, GdkEvent*, gpointer self)
{
    const XEvent* event = static_cast<const XEvent*>(xevent);
    if (event->type != PropertyNotify)
        return GDK_FILTER_CONTINUE;
    const char* name = gdk_x11_get_xatom_name(event->xproperty.atom);
    // _NET_WORKAREA is the desktop-wide work area, _GTK_WORKAREAS_D<n> the per-monitor ones.
    if (name && (g_str_equal(name, "_NET_WORKAREA") || g_str_has_prefix(name, "_GTK_WORKAREAS_D")))
        static_cast<GtkBackend*>(self)->updateTaskbar();
    return GDK_FILTER_CONTINUE;
}

void GtkBackend::onMonitorsChanged(GdkScreen*, gpointer self) { static_cast<GtkBackend*>(self)->updateTaskbar(); }

// ---------------------------------------------------------------------------------------------
// Clock and waiting

std::int64_t GtkBackend::now() { return g_get_monotonic_time() / 1000; }

void GtkBackend::waitForWork(std::optional<std::int64_t> deadline)
{
    GSource* timeout = nullptr;
    if (deadline) {
        const gint64 remaining = *deadline * 1000 - g_get_monotonic_time();
        if (remaining <= 0)
            return;
        timeout = g_timeout_source_new(static_cast<guint>(std::min<gint64>((remaining + 999) / 1000, G_MAXUINT)));
        g_source_set_callback(timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(timeout, mainContext_);
    }
    g_main_context_iteration(mainContext_, TRUE);
    if (timeout) {
        g_source_destroy(timeout);
        g_source_unref(timeout);
    }
}

void GtkBackend::wake() { g_main_context_wakeup(mainContext_); }

// ---------------------------------------------------------------------------------------------
// Screen and windows

Rect GtkBackend::screenRect()
{
    if (!display_)
        return Rect{};
    GdkMonitor* monitor = primaryMonitor();
    if (!monitor)
        return Rect{};
    GdkRectangle geometry;
    gdk_monitor_get_geometry(monitor, &geometry);
    return toRect(geometry);
}

Point GtkBackend::cursorPos()
{
    if (!display_)
        return Point{};
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    Point p;
    gdk_device_get_position(pointer, nullptr, &p.x, &p.y);
    return p;
}

void GtkBackend::windowCreated(Handle window)
{
    if (display_)
        natives_.created(window);
}

void GtkBackend::windowChanged(Handle window, unsigned changes)
{
    if (display_)
        natives_.changed(window, changes);
}

void GtkBackend::windowDestroyed(Handle window)
{
    if (display_)
        natives_.destroyed(window);
}

bool GtkBackend::applyOpacity(Handle window, std::uint8_t alpha) { return display_ && natives_.applyOpacity(window, alpha); }

void GtkBackend::beginDrag(Handle window, std::uintptr_t hitTest, Point screenPoint)
{
    if (display_)
        natives_.beginDrag(window, hitTest, screenPoint);
}

// ---------------------------------------------------------------------------------------------
// Start-up services

bool GtkBackend::initSocketSupport()
{
    // A write to a socket whose peer has gone must fail with an error, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool GtkBackend::startSockets(int, int) { return true; }

bool GtkBackend::initComponentRuntime() { return display_; }

// The display stays open until the session ends; there is nothing to release earlier.
void GtkBackend::endComponentRuntime() {}

// ---------------------------------------------------------------------------------------------
// Message boxes

int GtkBackend::messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons)
{
    const int closed = buttons == Buttons::Ok ? IDOK : IDNO;
    if (!display_) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return closed;
    }
    GtkWidget* dialog = gtk_message_dialog_new(natives_.shownTopLevel(owner), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                               buttons == Buttons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_YES_NO, "%s",
                                               withLineBreaks(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    // The programs show their boxes from a hidden main window: the box must not end up behind
    // other windows.
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    openBoxes_.push_back(dialog);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    openBoxes_.erase(std::find(openBoxes_.begin(), openBoxes_.end(), dialog));
    gtk_widget_destroy(dialog);
    switch (response) {
    case GTK_RESPONSE_OK: return IDOK;
    case GTK_RESPONSE_YES: return IDYES;
    case GTK_RESPONSE_NO: return IDNO;
    default: return closed;   // closed from the title bar or with Escape
    }
}

std::vector<MessageBoxInfo> GtkBackend::openMessageBoxes() const
{
    std::vector<MessageBoxInfo> boxes;
    for (GtkWidget* dialog : openBoxes_) {
        gchar* text = nullptr;
        g_object_get(dialog, "text", &text, nullptr);
        const gchar* title = gtk_window_get_title(GTK_WINDOW(dialog));
        boxes.push_back(MessageBoxInfo{title ? title : "", text ? text : ""});
        g_free(text);
    }
    return boxes;
}

bool GtkBackend::answerMessageBox(int button)
{
    const GtkResponseType response = responseFor(button);
    if (openBoxes_.empty() || response == GTK_RESPONSE_NONE ||
        !gtk_dialog_get_widget_for_response(GTK_DIALOG(openBoxes_.back()), response))
        return false;
    gtk_dialog_response(GTK_DIALOG(openBoxes_.back()), response);
    return true;
}

bool GtkBackend::closeMessageBox()
{
    if (openBoxes_.empty())
        return false;
    gtk_window_close(GTK_WINDOW(openBoxes_.back()));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Programs

// Whether the new program shows a window is its own business on this desktop.
std::uint32_t GtkBackend::startProgram(const std::string& commandLine, bool) { return spawnCommandLine(commandLine); }

std::uint32_t GtkBackend::startElevated(const std::string& file, const std::string& params)
{
    return spawnElevated(file, params);
}

std::uint32_t GtkBackend::openWithDesktop(const std::string& target) { return openWithDefaultApplication(target); }

// Elevation through a prompt is there (pkexec), as on Windows 6.0 and later.
int GtkBackend::osMajorVersion() { return 10; }

// ---------------------------------------------------------------------------------------------
// Tray

bool GtkBackend::notifyIcon(NotifyAction action, const NotifyIconData& data)
{
    if (!tray_)
        return false;
    switch (action) {
    case NotifyAction::Add: return tray_->add(data);
    case NotifyAction::Modify: return tray_->modify(data);
    case NotifyAction::Delete: return tray_->remove(data);
    }
    return false;
}

} // namespace platform::gtk

// ---------------------------------------------------------------------------------------------
// Menus and dialogs

namespace platform::gtk {

std::optional<std::uint32_t> GtkBackend::trackMenu(const Menu& menu, Point, Handle)
{
    if (!display_)
        return std::nullopt;
    struct Tracking {
        GMainLoop* loop;
        std::optional<std::uint32_t> chosen;
    } tracking{g_main_loop_new(nullptr, FALSE), std::nullopt};

    GtkWidget* popup = gtk_menu_new();
    for (const MenuItem& item : menu.items) {
        GtkWidget* widget;
        if (item.separator) {
            widget = gtk_separator_menu_item_new();
        } else if (item.checked) {
            widget = gtk_check_menu_item_new_with_label(item.caption.c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), TRUE);
        } else {
            widget = gtk_menu_item_new_with_label(item.caption.c_str());
        }
        if (!item.separator) {
            g_object_set_data(G_OBJECT(widget), "command", GUINT_TO_POINTER(item.id));
            g_signal_connect(widget, "activate", G_CALLBACK(+[](GtkMenuItem* chosen, gpointer data) {
                static_cast<Tracking*>(data)->chosen = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(chosen), "command"));
            }), &tracking);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(popup), widget);
    }
    gtk_widget_show_all(popup);
    // The item's activation comes after the menu has closed: end the loop once it has had its turn.
    g_signal_connect(popup, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
        g_idle_add(+[](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        }, static_cast<Tracking*>(data)->loop);
    }), &tracking);
    gtk_menu_popup_at_pointer(GTK_MENU(popup), nullptr);
    if (gtk_widget_get_visible(popup))
        g_main_loop_run(tracking.loop);
    gtk_widget_destroy(popup);
    g_main_loop_unref(tracking.loop);
    return tracking.chosen;
}

int GtkBackend::runDialog(const DialogTemplate& dialog, Handle owner)
{
    if (!display_)
        return IDCANCEL;
    GtkWidget* window = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(window), dialog.caption.c_str());
    gtk_window_set_transient_for(GTK_WINDOW(window), natives_.shownTopLevel(owner));
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    if (const auto icon = currentResourceModule().find("ICON", dialog.icon)) {
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
        if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(icon->data()), icon->size(), nullptr) &&
            gdk_pixbuf_loader_close(loader, nullptr)) {
            if (GdkPixbuf* picture = gdk_pixbuf_loader_get_pixbuf(loader))
                gtk_box_pack_start(GTK_BOX(row), gtk_image_new_from_pixbuf(picture), FALSE, FALSE, 0);
        } else {
            gdk_pixbuf_loader_close(loader, nullptr);
        }
        g_object_unref(loader);
    }
    GtkWidget* lines = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    for (const std::string& line : dialog.lines)
        gtk_box_pack_start(GTK_BOX(lines), gtk_label_new(line.c_str()), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), lines, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(window))), row, TRUE, TRUE, 0);
    for (const DialogButton& button : dialog.buttons)
        gtk_dialog_add_button(GTK_DIALOG(window), button.caption.c_str(), button.id);
    gtk_widget_show_all(window);
    const gint response = gtk_dialog_run(GTK_DIALOG(window));
    gtk_widget_destroy(window);
    return response > 0 ? response : IDCANCEL;
}

} // namespace platform::gtk
