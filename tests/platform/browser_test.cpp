// Browser controls: res: addresses, hosts, page calls, window.external, input pre-translation,
// and the simulated sound player.

#include "platform/browser.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/sim/world.h"
#include "platform/sound.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

const unsigned char kPage[] = "<html>program</html>";
const unsigned char kScript[] = "var x;";
const unsigned char kBitmap[] = "BM\x10\x00";
const unsigned char kIcon[] = "\x89PNG program icon";
const PlatformResource kEntries[] = {
    {"HTML", 311, kPage, sizeof kPage - 1},
    {"JS", 313, kScript, sizeof kScript - 1},
    {"IMG", 328, kBitmap, sizeof kBitmap - 1},
    {"ICON", 128, kIcon, sizeof kIcon - 1},
};
const PlatformResourceTable kTable{kResourceTableVersion, 4, kEntries};

sim::World::Options options(const char* programName = "tacklet")
{
    sim::World::Options o;
    o.programResources = &kTable;
    o.programName = programName;
    return o;
}

class Frame : public Window {
public:
    Frame()
    {
        CreateParams p;
        p.className = "Frame";
        p.style = WS_POPUP;
        p.rect = {100, 100, 500, 400};
        EXPECT_TRUE(create(p));
    }
    ~Frame() override
    {
        if (handle())
            destroyWindow(handle());
    }
};

std::string pageUrl(const std::string& modulePath, int id) { return "res://" + modulePath + "/" + std::to_string(id); }

TEST(BrowserControl, IsAChildWindowWithItsIdThatGoesWithItsParent)
{
    sim::World world(options());
    auto frame = std::make_unique<Frame>();
    Browser browser;
    ASSERT_TRUE(browser.create(frame->handle(), 90002, {0, 0, 400, 300}, true));
    EXPECT_EQ(childById(frame->handle(), 90002), browser.handle());
    EXPECT_EQ(windowRect(browser.handle()), (Rect{100, 100, 500, 400}));
    EXPECT_TRUE(windowStyle(browser.handle()) & WS_VISIBLE);
    EXPECT_FALSE(browser.create(frame->handle(), 90003, {}, true));   // one control per object
    ASSERT_TRUE(world.browser(browser.handle()));
    EXPECT_FALSE(world.browser(browser.handle())->documentReady);

    EXPECT_TRUE(browser.setSilent(true));
    EXPECT_TRUE(world.browser(browser.handle())->silent);
    frame.reset();
    EXPECT_FALSE(isWindow(browser.handle()));
    EXPECT_FALSE(world.browser(browser.handle()));
    EXPECT_FALSE(browser.navigate("res:/JS/#313"));
    EXPECT_FALSE(browser.setSilent(false));
}

TEST(ResourceAddresses, APageNamesItsModuleAndTheAddressesInsideItResolveThere)
{
    sim::World world(options());
    Frame frame;
    Browser browser;
    ASSERT_TRUE(browser.create(frame.handle(), 1, {0, 0, 10, 10}, true));
    const std::string program = world.modulePath();
    const ResourceModule* library = loadResourceLibrary(TEST_RESOURCE_LIBRARY);
    ASSERT_NE(library, nullptr);

    // Module-less addresses mean nothing before a resource page is shown.
    EXPECT_FALSE(world.resolveResource(browser.handle(), "res:/ICON/#128"));

    ASSERT_TRUE(browser.navigate(pageUrl(library->path(), 311)));
    ASSERT_EQ(world.navigations().size(), 1u);
    EXPECT_EQ(world.navigations()[0].modulePath, library->path());
    EXPECT_EQ(world.navigations()[0].type, "HTML");
    EXPECT_EQ(world.navigations()[0].id, 311);
    auto icon = world.resolveResource(browser.handle(), "res:/ICON/#128");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->modulePath, library->path());
    EXPECT_EQ(icon->bytes, *library->find("ICON", 128));

    browser.navigate(pageUrl(program, 311));
    icon = world.resolveResource(browser.handle(), "res:/ICON/#128");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->modulePath, program);
    EXPECT_EQ(icon->bytes, "\x89PNG program icon");
    EXPECT_EQ(icon->contentType, "image/png");

    // A page that is not a resource gives its addresses no module.
    browser.navigate("http://127.0.0.1/appCal.aspx?cp=5");
    EXPECT_EQ(world.navigations().back().id, 0);
    EXPECT_FALSE(world.resolveResource(browser.handle(), "res:/ICON/#128"));
}

TEST(ResourceAddresses, FormsAndContentTypes)
{
    sim::World world(options("tack let"));
    Frame frame;
    Browser browser;
    ASSERT_TRUE(browser.create(frame.handle(), 1, {0, 0, 10, 10}, true));
    const std::string program = world.modulePath();
    browser.navigate(pageUrl(program, 311));

    std::string encoded = program;
    encoded.replace(encoded.find(' '), 1, "%20");
    struct Case {
        std::string url;
        const char* type;   // nullptr: names nothing
        int id;
        const char* contentType;
    } cases[] = {
        {pageUrl(program, 311), "HTML", 311, "text/html; charset=EUC-KR"},
        {"RES://" + program + "/311", "HTML", 311, "text/html; charset=EUC-KR"},
        {"res://" + encoded + "/311", "HTML", 311, "text/html; charset=EUC-KR"},
        {"res:/JS/#313", "JS", 313, "text/javascript; charset=EUC-KR"},
        {"res:///JS/#313", "JS", 313, "text/javascript; charset=EUC-KR"},   // as an engine resolves it
        {"res:/img/#328", "IMG", 328, "image/bmp"},
        {"res://" + program + "/IMG/#328", "IMG", 328, "image/bmp"},
        {pageUrl(program, 312), nullptr, 0, nullptr},
        {"res:///elsewhere/tacklet/311", nullptr, 0, nullptr},
        {"res://311", nullptr, 0, nullptr},
        {"res:/JS/#31x", nullptr, 0, nullptr},
        {"res:/JS/#", nullptr, 0, nullptr},
        {"res:/JS#313", nullptr, 0, nullptr},
        {"res:JS/#313", nullptr, 0, nullptr},
        {"res:/JS/#99999999999", nullptr, 0, nullptr},
        {"http://127.0.0.1/311", nullptr, 0, nullptr},
    };
    for (const Case& c : cases) {
        const auto content = world.resolveResource(browser.handle(), c.url);
        if (!c.type) {
            EXPECT_FALSE(content) << c.url;
            continue;
        }
        ASSERT_TRUE(content) << c.url;
        EXPECT_EQ(content->modulePath, program) << c.url;
        EXPECT_EQ(content->type, c.type) << c.url;
        EXPECT_EQ(content->id, c.id) << c.url;
        EXPECT_EQ(content->contentType, c.contentType) << c.url;
    }
}

TEST(PageCalls, ReportWhatThePageDidWithArgumentsInScriptOrder)
{
    sim::World world(options());
    Frame frame;
    Browser browser;
    ASSERT_TRUE(browser.create(frame.handle(), 1, {0, 0, 10, 10}, true));
    const Handle b = browser.handle();
    std::vector<std::string> seen;
    world.definePageFunction(b, "text", [&](const std::vector<std::string>& args) {
        seen = args;
        return sim::World::PageValue::Text("41");
    });
    world.definePageFunction(b, "number", [](const auto&) { return sim::World::PageValue::NonText(); });
    world.definePageFunction(b, "fails", [](const auto&) { return sim::World::PageValue::Throws(); });

    std::vector<CallResult> results;
    auto call = [&](const char* name, std::vector<std::string> engineOrder = {}) {
        browser.callFunction(name, engineOrder, [&](const CallResult& r) { results.push_back(r); });
    };
    call("text");   // no page yet
    browser.navigate(pageUrl(world.modulePath(), 311));
    call("text", {"c", "b", "a"});
    call("number");
    call("fails");
    call("missing");
    world.setDocumentReady(b, false);
    call("text");

    ASSERT_EQ(results.size(), 6u);
    EXPECT_EQ(results[0].status, CallStatus::NoDocument);
    EXPECT_EQ(results[1].status, CallStatus::Ok);
    EXPECT_EQ(results[1].text, "41");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(results[2].status, CallStatus::Ok);
    EXPECT_FALSE(results[2].text);
    EXPECT_EQ(results[3].status, CallStatus::Threw);
    EXPECT_EQ(results[4].status, CallStatus::NoFunction);
    EXPECT_EQ(results[5].status, CallStatus::NoDocument);

    const auto calls = world.pageCalls(b, "text");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].arguments, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(calls[1].status, CallStatus::Ok);
}

TEST(PageCalls, NoCompletionRunsOnceTheBrowserIsGone)
{
    sim::World world(options());
    auto frame = std::make_unique<Frame>();
    Browser browser;
    ASSERT_TRUE(browser.create(frame->handle(), 1, {0, 0, 10, 10}, true));
    browser.navigate(pageUrl(world.modulePath(), 311));
    // The page's answer closes the window around it before the call completes.
    world.definePageFunction(browser.handle(), "closeAll", [&](const auto&) {
        frame.reset();
        return sim::World::PageValue::Text("done");
    });
    int completions = 0;
    browser.callFunction("closeAll", {}, [&](const CallResult&) { ++completions; });
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(world.pageCalls().size(), 1u);

    CallResult gone;
    gone.status = CallStatus::Ok;
    browser.callFunction("closeAll", {}, [&](const CallResult& r) { gone = r; });
    EXPECT_EQ(gone.status, CallStatus::NoDocument);
    EXPECT_EQ(world.pageCalls().size(), 1u);
}

class Recording : public ExternalObject {
public:
    int memberId(std::string_view name) override { return name == "run" ? 7 : kUnknownMember; }
    void invoke(int member, const std::vector<std::string>& args) override { calls.push_back({member, args}); }
    std::vector<std::pair<int, std::vector<std::string>>> calls;
};

class Host : public BrowserHost {
public:
    explicit Host(Recording& external) : external_(external) {}
    bool handlesContextMenu(PageElement element) override { return element == PageElement::Link; }
    void hostInfo(HostUiInfo& info) override { info.flags = kHostUiNo3DBorder | 0x100; }
    ExternalObject* external() override { return &external_; }

private:
    Recording& external_;
};

class Factory : public BrowserHostFactory {
public:
    explicit Factory(Recording& external) : external_(external) {}
    std::unique_ptr<BrowserHost> createHost(Handle browser) override
    {
        asked.push_back(browser);
        return std::make_unique<Host>(external_);
    }
    std::vector<Handle> asked;

private:
    Recording& external_;
};

TEST(BrowserHosts, EveryControlGetsOneFromTheInstalledFactory)
{
    sim::World world(options());
    Frame frame;
    Recording external;
    Factory factory(external);
    Browser plain;
    ASSERT_TRUE(plain.create(frame.handle(), 1, {}, true));
    setBrowserHostFactory(&factory);
    Browser first, second;
    ASSERT_TRUE(first.create(frame.handle(), 2, {}, true));
    ASSERT_TRUE(second.create(frame.handle(), 3, {}, false));
    setBrowserHostFactory(nullptr);
    Browser later;
    ASSERT_TRUE(later.create(frame.handle(), 4, {}, true));

    EXPECT_EQ(factory.asked, (std::vector<Handle>{first.handle(), second.handle()}));
    const BrowserHostUi ui = world.browser(first.handle())->hostUi;
    EXPECT_EQ(ui.flags, kHostUiNo3DBorder | 0x100);
    EXPECT_FALSE(ui.showsEngineMenu(PageElement::Link));
    EXPECT_TRUE(ui.showsEngineMenu(PageElement::Background));
    EXPECT_TRUE(ui.showsEngineMenu(PageElement::Image));
    EXPECT_EQ(world.browser(second.handle())->external, &external);
    for (const Browser* b : {&plain, &later}) {
        EXPECT_EQ(world.browser(b->handle())->hostUi, BrowserHostUi{});
        EXPECT_EQ(world.browser(b->handle())->external, nullptr);
    }

    using Call = sim::World::ExternalCall;
    EXPECT_EQ(world.callExternal(plain.handle(), "run", {"a"}), Call::NoExternal);
    EXPECT_EQ(world.callExternal(first.handle(), "Run", {"a"}), Call::UnknownName);
    EXPECT_EQ(world.callExternal(first.handle(), "run", {"a", "b", "c"}), Call::Invoked);
    ASSERT_EQ(external.calls.size(), 1u);
    EXPECT_EQ(external.calls[0].first, 7);
    EXPECT_EQ(external.calls[0].second, (std::vector<std::string>{"c", "b", "a"}));

    first.setExternal(nullptr);
    EXPECT_EQ(world.callExternal(first.handle(), "run", {}), Call::NoExternal);
}

// A window that writes down the mouse input it pre-translates and receives.
class Layer : public Window {
public:
    enum Kind { Popup, Child };
    Layer(std::vector<std::string>& log, const char* name, Kind kind, Handle parent = 0, bool keep = false)
        : log_(log), name_(name), keep_(keep)
    {
        CreateParams p;
        p.className = name;
        p.style = kind == Child ? WS_CHILD : WS_POPUP;
        p.rect = kind == Child ? Rect{10, 20, 110, 120} : Rect{100, 100, 400, 400};
        p.parent = parent;
        EXPECT_TRUE(create(p));
    }
    ~Layer() override
    {
        if (handle())
            destroyWindow(handle());
    }
    bool preTranslateMessage(const Message& m) override
    {
        const Point at = screenToClient(handle(), clientToScreen(m.window, {xFromLParam(m.lParam), yFromLParam(m.lParam)}));
        log_.push_back(name_ + " sees " + std::to_string(at.x) + "," + std::to_string(at.y));
        return keep_;
    }
    LResult onMessage(std::uint32_t message, WParam w, LParam l) override
    {
        if (message == WM_LBUTTONDOWN)
            log_.push_back(name_ + " gets " + std::to_string(xFromLParam(l)) + "," + std::to_string(yFromLParam(l)));
        return defaultHandling(message, w, l);
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
    bool keep_;
};

TEST(Input, IsPreTranslatedByTheTargetAndItsParentsBeforeDelivery)
{
    sim::World world(options());
    std::vector<std::string> log;
    // The walk goes up through parents only: the popup's owner is another window's business.
    Layer owner(log, "owner", Layer::Popup);
    Layer top(log, "top", Layer::Popup, owner.handle());
    Layer view(log, "view", Layer::Child, top.handle());
    Layer inner(log, "inner", Layer::Child, view.handle());
    Browser browser;
    ASSERT_TRUE(browser.create(inner.handle(), 1, {5, 5, 50, 50}, true));

    world.leftButtonDown(browser.handle(), {1, 2});
    EXPECT_EQ(log, (std::vector<std::string>{"inner sees 6,7", "view sees 16,27", "top sees 26,47"}));
    log.clear();
    world.leftButtonDown(inner.handle(), {3, 4});
    EXPECT_EQ(log, (std::vector<std::string>{"inner sees 3,4", "view sees 13,24", "top sees 23,44", "inner gets 3,4"}));

    log.clear();
    Layer keeper(log, "keeper", Layer::Child, top.handle(), true);
    Layer leaf(log, "leaf", Layer::Child, keeper.handle());
    world.leftButtonDown(leaf.handle(), {0, 0});
    EXPECT_EQ(log, (std::vector<std::string>{"leaf sees 0,0", "keeper sees 10,20"}));
}

// The smallest RIFF/WAVE file: mono, 8-bit, 1000 bytes a second, `ms` milliseconds long.
std::string wave(int ms)
{
    auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    };
    const std::string fmt = std::string("\x01\x00\x01\x00", 4) + le32(1000) + le32(1000) + std::string("\x01\x00\x08\x00", 4);
    const std::string data(static_cast<std::size_t>(ms), '\x80');
    const std::string body = "WAVE" + ("fmt " + le32(16) + fmt) + ("data" + le32(static_cast<std::uint32_t>(ms)) + data);
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

TEST(Sounds, ANewSoundCutsOffOnlyOneStillPlaying)
{
    sim::World world(options());
    playSound(wave(500));
    world.advance(200);
    playSound(wave(300));   // cuts the first off at 200
    world.advance(400);
    playSound(wave(300));   // the second ended at 500
    playSound("not a sound");   // still stops the third
    playSound(wave(100));   // nothing is playing: the broken one never played

    const auto& sounds = world.sounds();
    ASSERT_EQ(sounds.size(), 5u);
    EXPECT_EQ(sounds[0].durationMs, 500);
    EXPECT_EQ(sounds[0].cutOffAt, 200);
    EXPECT_EQ(sounds[1].start, 200);
    EXPECT_FALSE(sounds[1].cutOffAt);
    EXPECT_EQ(sounds[2].cutOffAt, 600);
    EXPECT_EQ(sounds[3].durationMs, 0);
    EXPECT_FALSE(sounds[3].cutOffAt);
    EXPECT_EQ(sounds[0].programWave, 0);
}

} // namespace
