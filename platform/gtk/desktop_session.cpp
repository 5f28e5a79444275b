#include "platform/gtk/desktop_app.h"

#include "../core/context.h"
#include "gtk_backend.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

namespace platform::gtk {

namespace {

// SIGINT and SIGTERM end the loop like a quit from the program, so its exit code runs.
gboolean onTerminationSignal(gpointer)
{
    if (Context* context = Context::currentOrNull())
        context->quit(0);
    return G_SOURCE_CONTINUE;
}

bool openDisplay(int& argc, char**& argv, const std::string& programName)
{
    g_set_prgname(programName.c_str());
    // Windows are placed at exact screen coordinates, which X11 allows and Wayland does not;
    // under Wayland the session goes through XWayland. GDK keeps the first setting (and would
    // lose a second copy), so it is made once per process.
    static const bool x11Only = (gdk_set_allowed_backends("x11"), true);
    (void)x11Only;
    return gtk_init_check(&argc, &argv);
}

} // namespace

struct DesktopSession::Impl {
    Impl(int& argc, char**& argv, const PlatformResourceTable* resources, const std::string& programName)
        : backend(programName, openDisplay(argc, argv, programName)), context(backend, resources)
    {
        backend.attach(context);
        signalSources[0] = g_unix_signal_add(SIGINT, onTerminationSignal, nullptr);
        signalSources[1] = g_unix_signal_add(SIGTERM, onTerminationSignal, nullptr);
    }

    ~Impl()
    {
        for (guint source : signalSources)
            g_source_remove(source);
    }

    GtkBackend backend;
    Context context;   // after the backend: the context's windows are destroyed while it exists
    guint signalSources[2] = {0, 0};
};

DesktopSession::DesktopSession(int& argc, char**& argv, const PlatformResourceTable* programResources,
                               const std::string& programName)
    : impl_(std::make_unique<Impl>(argc, argv, programResources, programName))
{
}

DesktopSession::~DesktopSession() = default;

bool DesktopSession::hasDisplay() const { return impl_->backend.hasDisplay(); }

std::optional<NativeGeometry> DesktopSession::nativeGeometry(Handle window) const
{
    if (!hasDisplay())
        return std::nullopt;
    return impl_->backend.natives().geometry(window);
}

unsigned long DesktopSession::nativeWindowId(Handle window) const
{
    return hasDisplay() ? impl_->backend.natives().windowId(window) : 0;
}

bool DesktopSession::pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    GMainContext* mainContext = g_main_context_default();
    while (!done()) {
        const gint64 remaining = end - g_get_monotonic_time();
        if (remaining <= 0)
            return false;
        GSource* timeout = g_timeout_source_new(static_cast<guint>((remaining + 999) / 1000));
        g_source_set_callback(timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(timeout, mainContext);
        g_main_context_iteration(mainContext, TRUE);
        g_source_destroy(timeout);
        g_source_unref(timeout);
    }
    return true;
}

std::vector<MessageBoxInfo> DesktopSession::openMessageBoxes() const { return impl_->backend.openMessageBoxes(); }

bool DesktopSession::answerMessageBox(int button) { return impl_->backend.answerMessageBox(button); }

bool DesktopSession::closeMessageBox() { return impl_->backend.closeMessageBox(); }

} // namespace platform::gtk
