// Browser controls: their child windows, their hosts, page calls and the res: addresses their
// engines are served from.

#include "platform/browser.h"

#include "context.h"
#include "platform/window.h"

#include <cctype>
#include <climits>

namespace platform {

namespace {

constexpr const char* kBrowserClass = "BrowserControl";

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Engines send the path of an address percent-encoded (a blank or Korean in a folder name).
std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexDigit(text[i + 1]), lo = hexDigit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// A resource number: decimal digits only, within the range of int.
std::optional<int> resourceNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 10)
        return std::nullopt;
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

struct ResourceAddress {
    std::string modulePath;   // "" for the module of the page that asks
    std::string type;
    int id = 0;
};

// "res://<module path>/<id>" (an HTML page) or "res:[//<module path>]/<TYPE>/#<id>".
std::optional<ResourceAddress> parseResourceAddress(std::string_view url)
{
    if (!startsWithNoCase(url, "res:"))
        return std::nullopt;
    std::string_view rest = url.substr(4);
    ResourceAddress address;
    std::string_view location;
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        const auto id = resourceNumber(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
        if (!id || rest.empty() || rest.back() != '/')
            return std::nullopt;
        rest.remove_suffix(1);
        const auto slash = rest.rfind('/');
        if (slash == std::string_view::npos || slash + 1 == rest.size())
            return std::nullopt;
        for (char c : rest.substr(slash + 1))
            address.type.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        address.id = *id;
        location = rest.substr(0, slash);
    } else {
        const auto slash = rest.rfind('/');
        const auto id = slash == std::string_view::npos ? std::nullopt : resourceNumber(rest.substr(slash + 1));
        if (!id)
            return std::nullopt;
        address.type = "HTML";
        address.id = *id;
        location = rest.substr(0, slash);
        // A page address always names its module.
        if (location.size() <= 2)
            return std::nullopt;
    }
    if (location.starts_with("//"))
        location.remove_prefix(2);
    else if (!location.empty())
        return std::nullopt;
    address.modulePath = percentDecoded(location);
    return address;
}

std::string contentTypeOf(std::string_view type, std::string_view bytes)
{
    // Pages and scripts are stored in the Korean code page; engines know it by the label EUC-KR.
    if (type == "HTML")
        return "text/html; charset=EUC-KR";
    if (type == "JS")
        return "text/javascript; charset=EUC-KR";
    // Image resources mix formats, so the bytes tell.
    if (bytes.starts_with("BM"))
        return "image/bmp";
    if (bytes.starts_with("GIF8"))
        return "image/gif";
    if (bytes.starts_with("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.starts_with("\x89PNG"))
        return "image/png";
    if (bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WAVE")
        return "audio/wav";
    return "application/octet-stream";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The layer's table of controls

Handle Context::createBrowser(Handle parent, int controlId, const Rect& rect, bool visible)
{
    if (!find(parent))
        return 0;
    CreateParams params;
    params.className = kBrowserClass;
    params.style = WS_CHILD;
    params.rect = rect;
    params.parent = parent;
    params.controlId = controlId;
    const Handle handle = createWindow(params, nullptr);
    if (handle == 0)
        return 0;
    BrowserRecord& record = browsers_[handle];
    backend_.browserCreated(handle);

    BrowserHostUi ui;
    ExternalObject* external = nullptr;
    if (hostFactory_)
        record.host = hostFactory_->createHost(handle);
    if (record.host) {
        HostUiInfo info;
        record.host->hostInfo(info);
        ui.flags = info.flags;
        ui.doubleClick = info.doubleClick;
        ui.engineMenus = 0;
        for (unsigned e = 0; e < kPageElementCount; ++e)
            if (!record.host->handlesContextMenu(static_cast<PageElement>(e)))
                ui.engineMenus |= 1u << e;
        external = record.host->external();
    }
    backend_.browserSetHostUi(handle, ui);
    backend_.browserSetExternal(handle, external);
    if (visible)
        showWindow(handle, Show::ShowNA);
    return handle;
}

bool Context::navigateBrowser(Handle browser, const std::string& url)
{
    auto it = browsers_.find(browser);
    if (it == browsers_.end())
        return false;
    // The module the new page comes from, for the module-less addresses inside it.
    const auto page = resolveResource(browser, url);
    it->second.pageModulePath = page && page->type == "HTML" ? page->modulePath : std::string();
    backend_.browserNavigate(browser, url);
    return true;
}

bool Context::setBrowserSilent(Handle browser, bool silent)
{
    if (!isBrowser(browser))
        return false;
    backend_.browserSetSilent(browser, silent);
    return true;
}

bool Context::setBrowserExternal(Handle browser, ExternalObject* external)
{
    if (!isBrowser(browser))
        return false;
    backend_.browserSetExternal(browser, external);
    return true;
}

void Context::callBrowserFunction(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                                  CallCompletion done)
{
    if (!isBrowser(browser)) {
        if (done)
            done(CallResult{});
        return;
    }
    // Handles are never reused, so a browser that is gone is not found again by its handle.
    backend_.browserCall(browser, name, arguments, [browser, done = std::move(done)](const CallResult& result) {
        Context* context = Context::currentOrNull();
        if (done && context && context->isBrowser(browser))
            done(result);
    });
}

std::optional<ResourceContent> Context::resolveResource(Handle browser, std::string_view url) const
{
    const auto address = parseResourceAddress(url);
    if (!address)
        return std::nullopt;
    std::string modulePath = address->modulePath;
    if (modulePath.empty()) {
        const auto it = browsers_.find(browser);
        if (it == browsers_.end() || it->second.pageModulePath.empty())
            return std::nullopt;
        modulePath = it->second.pageModulePath;
    }
    const ResourceModule* module = moduleByPath(modulePath);
    if (!module)
        return std::nullopt;
    const auto bytes = module->find(address->type, address->id);
    if (!bytes)
        return std::nullopt;
    return ResourceContent{module->path(), address->type, address->id, *bytes, contentTypeOf(address->type, *bytes)};
}

// ---------------------------------------------------------------------------------------------
// The program's interface

void setBrowserHostFactory(BrowserHostFactory* factory) { Context::current().setBrowserHostFactory(factory); }

Browser::~Browser()
{
    if (handle_)
        destroyWindow(handle_);
}

bool Browser::create(Handle parent, int controlId, const Rect& rect, bool visible)
{
    if (handle_ && isWindow(handle_))
        return false;
    handle_ = Context::current().createBrowser(parent, controlId, rect, visible);
    return handle_ != 0;
}

bool Browser::navigate(const std::string& url) { return Context::current().navigateBrowser(handle_, url); }

bool Browser::setSilent(bool silent) { return Context::current().setBrowserSilent(handle_, silent); }

bool Browser::setExternal(ExternalObject* external) { return Context::current().setBrowserExternal(handle_, external); }

void Browser::callFunction(const std::string& name, const std::vector<std::string>& arguments, CallCompletion done)
{
    Context::current().callBrowserFunction(handle_, name, arguments, std::move(done));
}

} // namespace platform
