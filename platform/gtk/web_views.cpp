#include "web_views.h"

#include "../core/context.h"
#include "native_windows.h"
#include "platform/dialogs.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "platform/window.h"

#include <webkit2/webkit2.h>

#include <cstdio>

namespace platform::gtk {

namespace {

constexpr const char* kExternalHandler = "programExternal";

// `window.external` for every page and frame, before the page's own scripts run. Any member is a
// function that hands its arguments, as text, to the program; the program decides which members
// exist.
constexpr const char* kExternalScript = R"JS(
(function () {
    var handler = window.webkit.messageHandlers.programExternal;
    var external = new Proxy({}, {
        get: function (target, name) {
            if (typeof name !== 'string')
                return undefined;
            return function () {
                var args = [];
                for (var i = 0; i < arguments.length; ++i)
                    args.push(String(arguments[i]));
                handler.postMessage({ name: name, args: args });
            };
        }
    });
    Object.defineProperty(window, 'external', { value: external, configurable: true });
})();
)JS";

// A text as a script string literal.
std::string scriptString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    // U+2028 and U+2029 end a line inside a script literal.
    for (const char* separator : {"\xE2\x80\xA8", "\xE2\x80\xA9"})
        for (auto at = out.find(separator); at != std::string::npos; at = out.find(separator, at))
            out.replace(at, 3, separator[2] == '\xA8' ? "\\u2028" : "\\u2029");
    return out + "\"";
}

PageElement elementUnder(WebKitHitTestResult* hit)
{
    const guint context = webkit_hit_test_result_get_context(hit);
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_EDITABLE)
        return PageElement::Control;
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_SELECTION)
        return PageElement::Selection;
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_LINK)
        return PageElement::Link;
    if (context & (WEBKIT_HIT_TEST_RESULT_CONTEXT_IMAGE | WEBKIT_HIT_TEST_RESULT_CONTEXT_MEDIA))
        return PageElement::Image;
    if (context & WEBKIT_HIT_TEST_RESULT_CONTEXT_SCROLLBAR)
        return PageElement::ScrollBar;
    return PageElement::Background;
}

struct PendingCall {
    CallCompletion done;
};

} // namespace

struct WebViews::View {
    WebViews* owner = nullptr;
    Handle handle = 0;
    WebKitWebView* widget = nullptr;
    WebKitUserContentManager* content = nullptr;
    GCancellable* cancellable = nullptr;
    ExternalObject* external = nullptr;
    BrowserHostUi ui;
    bool silent = false;
    bool committed = false;   // a page has been committed: calls have a document to run in
};

WebViews::WebViews(NativeWindows& natives) : natives_(natives) {}

WebViews::~WebViews()
{
    while (!views_.empty())
        destroyed(views_.begin()->first);
    if (webContext_)
        g_object_unref(webContext_);
}

WebViews::View* WebViews::find(Handle browser) const
{
    auto it = views_.find(browser);
    return it == views_.end() ? nullptr : it->second.get();
}

WebViews::View* WebViews::byWidget(WebKitWebView* widget) const
{
    for (const auto& [handle, view] : views_)
        if (view->widget == widget)
            return view.get();
    return nullptr;
}

WebKitWebContext* WebViews::webContext()
{
    if (!webContext_) {
        webContext_ = webkit_web_context_new();
        webkit_web_context_set_cache_model(webContext_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        webkit_web_context_register_uri_scheme(webContext_, "res", onResourceRequest, this, nullptr);
    }
    return webContext_;
}

void WebViews::created(Handle browser)
{
    auto view = std::make_unique<View>();
    view->owner = this;
    view->handle = browser;
    view->content = webkit_user_content_manager_new();
    WebKitUserScript* script =
        webkit_user_script_new(kExternalScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(view->content, script);
    webkit_user_script_unref(script);
    webkit_user_content_manager_register_script_message_handler(view->content, kExternalHandler);
    g_signal_connect(view->content, "script-message-received::programExternal", G_CALLBACK(onExternalMessage),
                     view.get());

    WebKitSettings* settings = webkit_settings_new_with_settings(
        "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER, "enable-developer-extras", FALSE,
        "javascript-can-open-windows-automatically", FALSE, "enable-page-cache", FALSE, nullptr);
    GtkWidget* widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", webContext(),
                                                "user-content-manager", view->content, "settings", settings,
                                                nullptr));
    g_object_unref(settings);
    view->widget = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
    view->cancellable = g_cancellable_new();
    g_signal_connect(widget, "script-dialog", G_CALLBACK(onScriptDialog), view.get());
    g_signal_connect(widget, "context-menu", G_CALLBACK(onContextMenu), view.get());
    g_signal_connect(widget, "decide-policy", G_CALLBACK(onDecidePolicy), view.get());
    g_signal_connect(widget, "load-changed", G_CALLBACK(onLoadChanged), view.get());
    g_signal_connect(widget, "button-press-event", G_CALLBACK(onButtonPress), view.get());

    natives_.adoptChild(browser, widget);
    views_.emplace(browser, std::move(view));
}

void WebViews::destroyed(Handle browser)
{
    auto it = views_.find(browser);
    if (it == views_.end())
        return;
    View& view = *it->second;
    // Pending calls complete with "cancelled" and are dropped: a completion never outlives its
    // browser.
    g_cancellable_cancel(view.cancellable);
    g_object_unref(view.cancellable);
    g_signal_handlers_disconnect_by_data(view.widget, &view);
    g_signal_handlers_disconnect_by_data(view.content, &view);
    webkit_user_content_manager_unregister_script_message_handler(view.content, kExternalHandler);
    g_object_unref(view.content);
    g_object_unref(view.widget);
    views_.erase(it);
}

void WebViews::navigate(Handle browser, const std::string& url)
{
    if (View* view = find(browser))
        webkit_web_view_load_uri(view->widget, url.c_str());
}

void WebViews::setSilent(Handle browser, bool silent)
{
    if (View* view = find(browser))
        view->silent = silent;
}

void WebViews::setHostUi(Handle browser, const BrowserHostUi& ui)
{
    if (View* view = find(browser))
        view->ui = ui;
}

void WebViews::setExternal(Handle browser, ExternalObject* external)
{
    if (View* view = find(browser))
        view->external = external;
}

void WebViews::call(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                    CallCompletion done)
{
    View* view = find(browser);
    if (!view || !view->committed) {
        if (done)
            done(CallResult{CallStatus::NoDocument, std::nullopt});
        return;
    }
    // The engine's order is the reverse of the script's.
    std::string list;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it)
        list += (list.empty() ? "" : ",") + scriptString(*it);
    const std::string script = "(function () { var f = window[" + scriptString(name) +
                               "]; if (typeof f !== 'function') return { s: 1 }; try { var r = f.apply(window, [" +
                               list +
                               "]); return typeof r === 'string' ? { s: 0, t: r } : { s: 0 }; } catch (e) { return "
                               "{ s: 2 }; } })()";
    auto* pending = new PendingCall{std::move(done)};
    webkit_web_view_evaluate_javascript(
        view->widget, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, view->cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<PendingCall> call(static_cast<PendingCall*>(data));
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
            if (error) {
                const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
                g_error_free(error);
                if (!cancelled && call->done)
                    call->done(CallResult{CallStatus::NoDocument, std::nullopt});
                return;
            }
            CallResult outcome{CallStatus::Threw, std::nullopt};
            if (jsc_value_is_object(value)) {
                JSCValue* status = jsc_value_object_get_property(value, "s");
                const int s = jsc_value_to_int32(status);
                g_object_unref(status);
                outcome.status = s == 0 ? CallStatus::Ok : s == 1 ? CallStatus::NoFunction : CallStatus::Threw;
                if (s == 0 && jsc_value_object_has_property(value, "t")) {
                    JSCValue* text = jsc_value_object_get_property(value, "t");
                    char* utf8 = jsc_value_to_string(text);
                    outcome.text = utf8 ? utf8 : "";
                    g_free(utf8);
                    g_object_unref(text);
                }
            }
            g_object_unref(value);
            if (call->done)
                call->done(outcome);
        },
        pending);
}

// ---------------------------------------------------------------------------------------------

void WebViews::onResourceRequest(WebKitURISchemeRequest* request, gpointer self)
{
    auto* views = static_cast<WebViews*>(self);
    View* view = views->byWidget(webkit_uri_scheme_request_get_web_view(request));
    Context* context = Context::currentOrNull();
    const auto content = view && context ? context->resolveResource(view->handle, webkit_uri_scheme_request_get_uri(request))
                                         : std::nullopt;
    if (!content) {
        GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such resource");
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    // The module may be unloaded while the engine still reads: hand it a copy.
    GBytes* bytes = g_bytes_new(content->bytes.data(), content->bytes.size());
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(content->bytes.size()),
                                     content->contentType.c_str());
    g_object_unref(stream);
    g_bytes_unref(bytes);
}

void WebViews::onExternalMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data)
{
    auto* view = static_cast<View*>(data);
    if (!view->external)
        return;
    JSCValue* message = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_object(message))
        return;
    JSCValue* nameValue = jsc_value_object_get_property(message, "name");
    char* name = jsc_value_to_string(nameValue);
    g_object_unref(nameValue);
    const int member = name ? view->external->memberId(name) : kUnknownMember;
    g_free(name);
    if (member == kUnknownMember)
        return;
    JSCValue* args = jsc_value_object_get_property(message, "args");
    JSCValue* lengthValue = jsc_value_object_get_property(args, "length");
    const int length = jsc_value_to_int32(lengthValue);
    g_object_unref(lengthValue);
    std::vector<std::string> arguments;
    for (int i = length - 1; i >= 0; --i) {   // the engine's order: the last argument first
        JSCValue* item = jsc_value_object_get_property_at_index(args, static_cast<guint>(i));
        char* text = jsc_value_to_string(item);
        arguments.emplace_back(text ? text : "");
        g_free(text);
        g_object_unref(item);
    }
    g_object_unref(args);
    view->external->invoke(member, arguments);
}

gboolean WebViews::onScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer data)
{
    // A silent control shows no dialogs of its own; the script gets the default answers.
    return static_cast<View*>(data)->silent ? TRUE : FALSE;
}

gboolean WebViews::onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult* hit, gpointer data)
{
    return static_cast<View*>(data)->ui.showsEngineMenu(elementUnder(hit)) ? FALSE : TRUE;
}

gboolean WebViews::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    // Links that open outside the window go to the desktop's own browser.
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    if (uri && (g_str_has_prefix(uri, "http://") || g_str_has_prefix(uri, "https://")))
        openWithDesktop(uri);
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

gboolean WebViews::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* view = static_cast<View*>(data);
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY)
        return FALSE;
    Context* context = Context::currentOrNull();
    if (!context)
        return FALSE;
    // The windows around the control see the click first (a header drags its window); the page
    // gets it afterwards all the same.
    const Point client = screenToClient(view->handle, Point{static_cast<int>(event->x_root), static_cast<int>(event->y_root)});
    context->deliverInput(view->handle, WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(client.x, client.y));
    return FALSE;
}

void WebViews::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data)
{
    if (event == WEBKIT_LOAD_COMMITTED)
        static_cast<View*>(data)->committed = true;
}

} // namespace platform::gtk
