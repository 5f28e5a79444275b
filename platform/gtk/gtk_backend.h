#pragma once
// The backend of the layer on a real Linux desktop: the GLib main loop as the message pump, the
// X11 screen through GDK, native windows, message boxes, the tray, and programs started with
// GLib. Every call comes from the GUI thread (the one that opened the display), except wake().

#include "../core/backend.h"
#include "alsa_sound.h"
#include "native_windows.h"
#include "platform/gtk/desktop_app.h"
#include "tray_area.h"
#include "web_views.h"

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

namespace platform {
class Context;
}

namespace platform::gtk {

class GtkBackend final : public Backend {
public:
    // `display`: whether GTK could open the display; without one only the services that need
    // none work.
    GtkBackend(const std::string& programName, bool display);
    GtkBackend(const GtkBackend&) = delete;
    GtkBackend& operator=(const GtkBackend&) = delete;
    ~GtkBackend() override;

    // Starts what needs the context: the source that delivers messages and timers from any
    // GLib loop, and the taskbar pseudo-window.
    void attach(Context& context);

    bool hasDisplay() const { return display_; }
    const NativeWindows& natives() const { return natives_; }

    // Test hooks for the open message boxes (see DesktopSession).
    std::vector<MessageBoxInfo> openMessageBoxes() const;
    bool answerMessageBox(int button);
    bool closeMessageBox();

    std::int64_t now() override;
    void waitForWork(std::optional<std::int64_t> deadline) override;
    void wake() override;

    Folders folders() override { return folders_; }
    Rect screenRect() override;
    Point cursorPos() override;

    void windowCreated(Handle window) override;
    void windowChanged(Handle window, unsigned changes) override;
    void windowDestroyed(Handle window) override;
    bool applyOpacity(Handle window, std::uint8_t alpha) override;
    void beginDrag(Handle window, std::uintptr_t hitTest, Point screenPoint) override;

    bool initSocketSupport() override;
    bool startSockets(int major, int minor) override;
    bool initComponentRuntime() override;
    void endComponentRuntime() override;

    int messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons) override;
    std::uint32_t startProgram(const std::string& commandLine, bool showWindow) override;
    std::uint32_t startElevated(const std::string& file, const std::string& params) override;
    std::uint32_t openWithDesktop(const std::string& target) override;
    int osMajorVersion() override;

    bool notifyIcon(NotifyAction action, const NotifyIconData& data) override;
    std::optional<std::uint32_t> trackMenu(const Menu& menu, Point at, Handle owner) override;
    int runDialog(const DialogTemplate& dialog, Handle owner) override;

    void browserCreated(Handle browser) override { webViews_.created(browser); }
    void browserDestroyed(Handle browser) override { webViews_.destroyed(browser); }
    void browserNavigate(Handle browser, const std::string& url) override { webViews_.navigate(browser, url); }
    void browserSetSilent(Handle browser, bool silent) override { webViews_.setSilent(browser, silent); }
    void browserSetHostUi(Handle browser, const BrowserHostUi& ui) override { webViews_.setHostUi(browser, ui); }
    void browserSetExternal(Handle browser, ExternalObject* external) override { webViews_.setExternal(browser, external); }
    void browserCall(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                     CallCompletion done) override
    {
        webViews_.call(browser, name, arguments, std::move(done));
    }
    void playSound(std::string_view wave) override { sound_.play(wave); }

private:
    void updateTaskbar();
    static GdkFilterReturn onRootEvent(GdkXEvent* xevent, GdkEvent* event, gpointer self);
    static void onMonitorsChanged(GdkScreen* screen, gpointer self);

    const bool display_;
    Folders folders_;
    GMainContext* mainContext_ = nullptr;
    GSource* dispatchSource_ = nullptr;
    Context* context_ = nullptr;
    Handle taskbar_ = 0;
    NativeWindows natives_;
    WebViews webViews_{natives_};
    AlsaSound sound_;
    std::unique_ptr<TrayArea> tray_;
    std::vector<GtkWidget*> openBoxes_;   // innermost last
};

} // namespace platform::gtk
