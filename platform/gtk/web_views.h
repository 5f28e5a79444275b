#pragma once
// Browser controls on WebKitGTK: one web view per control, all of them related to the first so
// they share one web process; pages from resource modules served through a "res" URI scheme;
// `window.external` injected into every page and frame before the page's own scripts; page
// functions called through evaluate_javascript with their results delivered in call order.

#include "platform/browser.h"
#include "platform/types.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {
class Context;
}

namespace platform::gtk {

class NativeWindows;

class WebViews {
public:
    explicit WebViews(NativeWindows& natives);
    WebViews(const WebViews&) = delete;
    WebViews& operator=(const WebViews&) = delete;
    ~WebViews();

    void created(Handle browser);
    void destroyed(Handle browser);
    void navigate(Handle browser, const std::string& url);
    void setSilent(Handle browser, bool silent);
    void setHostUi(Handle browser, const BrowserHostUi& ui);
    void setExternal(Handle browser, ExternalObject* external);
    void call(Handle browser, const std::string& name, const std::vector<std::string>& arguments, CallCompletion done);

private:
    struct View;

    View* find(Handle browser) const;
    View* byWidget(WebKitWebView* widget) const;
    WebKitWebContext* webContext();

    static void onResourceRequest(WebKitURISchemeRequest* request, gpointer self);
    static void onExternalMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer view);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer view);
    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult* hit, gpointer view);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer view);
    static gboolean onButtonPress(GtkWidget*, GdkEventButton* event, gpointer view);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer view);

    NativeWindows& natives_;
    WebKitWebContext* webContext_ = nullptr;
    std::unordered_map<Handle, std::unique_ptr<View>> views_;
};

} // namespace platform::gtk
