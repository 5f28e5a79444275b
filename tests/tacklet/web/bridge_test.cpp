// The browser host and the script bridge: what every browser of the program gets, what the
// pages' commands do, and the program's page calls and page loads.

#include "web_fixture.h"

#include "child_view.h"
#include "imp_idispatch.h"
#include "platform/browser.h"
#include "platform/loop.h"
#include "platform/resources.h"
#include "web_browser2.h"

#include <climits>

using namespace platform;
using namespace webtest;

namespace {

using Bridge = WebTest;
using Call = sim::World::ExternalCall;
using Posted = TestMainWindow::Posted;
using Value = sim::World::PageValue;

struct Outcome {
    bool found;
    std::string text;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

TEST_F(Bridge, EveryBrowserOfTheProgramGetsTheCustomSiteAndTheOneBridge)
{
    CChildView view(app);
    ASSERT_TRUE(view.Create(main->handle(), clientRect(main->handle()), 59648));
    CMyWebWnd& popup = main->Open(0);
    ASSERT_NE(app.ScriptBridge(), nullptr);
    for (Handle b : {view.m_browser.handle(), popup.BrowserHandle()}) {
        const auto state = world.browser(b);
        ASSERT_TRUE(state);
        EXPECT_EQ(state->external, app.ScriptBridge());
        EXPECT_EQ(state->hostUi.flags, kHostUiNo3DBorder);
        EXPECT_EQ(state->hostUi.doubleClick, kHostUiDoubleClickDefault);
        // The context menu is the browser's own everywhere but on the plain page.
        EXPECT_FALSE(state->hostUi.showsEngineMenu(PageElement::Background));
        for (PageElement e : {PageElement::Image, PageElement::Link, PageElement::Control, PageElement::Selection,
                              PageElement::Table, PageElement::ScrollBar, PageElement::Other})
            EXPECT_TRUE(state->hostUi.showsEngineMenu(e)) << static_cast<int>(e);
    }
}

TEST_F(Bridge, IsOnlyInstalledByTheRunningCopyAndGoesAtExit)
{
    {
        COrvaneApp second;
        EXPECT_FALSE(second.InitInstance());   // the first copy holds the mutex
    }
    Browser during;
    ASSERT_TRUE(during.create(main->handle(), 1, {}, true));
    EXPECT_EQ(world.browser(during.handle())->external, app.ScriptBridge());

    app.ExitInstance();
    Browser after;
    ASSERT_TRUE(after.create(main->handle(), 2, {}, true));
    EXPECT_EQ(world.browser(after.handle())->external, nullptr);
    EXPECT_EQ(world.browser(after.handle())->hostUi, BrowserHostUi{});
}

TEST_F(Bridge, JscommandsActOnTheMainWindowOrArePostedToIt)
{
    struct Case {
        std::vector<std::string> args;   // as the page passes them to window.external.jscommand
        std::vector<Posted> posted;
        bool visible = true;
        bool minimized = false;
    } cases[] = {
        {{"0"}, {}, false},
        {{"abc"}, {}, false},   // no digits read as 0
        {{"2"}, {}, true, true},
        {{"4"}, {}},
        {{"6"}, {}},            // codes 5 to 9 need their parameter
        {{"9"}, {}},
        {{"10", "12"}, {}},
        {{"12", "6"}, {{WM_NOTE_CLOSED, 12, ""}}},
        {{"3", " 7"}, {{WM_SHOW_MAIN, 3, ""}}},
        {{"1", "+6"}, {{WM_NOTE_CLOSED, 1, ""}}},
        {{"-4", "8"}, {{WM_READ_EXT, -4, ""}}},
        {{"99999999999", "5"}, {{WM_PAGE, INT_MAX, ""}}},
        {{"-99999999999", "5"}, {{WM_PAGE, INT_MIN, ""}}},
        {{"p2", "p1", "7"}, {{WM_SHOW_MAIN, 0, ""}}},   // only the last two count
        {{"<PKT><GBN>3</GBN><IDX>30001</IDX></PKT>", "9"}, {{WM_OPEN_PACKET, 0, "<PKT><GBN>3</GBN><IDX>30001</IDX></PKT>"}}},
    };
    Browser page;
    ASSERT_TRUE(page.create(main->handle(), 1, {}, true));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + " with " + std::to_string(c.args.size()) + " arguments");
        showWindow(main->handle(), Show::Restore);
        main->posted.clear();
        ASSERT_EQ(world.callExternal(page.handle(), "jscommand", c.args), Call::Invoked);
        // Posted, never sent: nothing has arrived while the script is still running.
        EXPECT_TRUE(main->posted.empty());
        world.runUntilIdle();
        EXPECT_EQ(main->posted, c.posted);
        EXPECT_EQ(isVisible(main->handle()), c.visible);
        EXPECT_EQ(isMinimized(main->handle()), c.minimized);
    }
}

TEST_F(Bridge, MaximizeTogglesAndRestoreComesBack)
{
    Browser page;
    ASSERT_TRUE(page.create(main->handle(), 1, {}, true));
    showWindow(main->handle(), Show::Normal);
    world.callExternal(page.handle(), "jscommand", {"1"});
    EXPECT_TRUE(isMaximized(main->handle()));
    world.callExternal(page.handle(), "jscommand", {"1"});
    EXPECT_FALSE(isMaximized(main->handle()));
    EXPECT_EQ(windowRect(main->handle()), kMainRect);
    world.callExternal(page.handle(), "jscommand", {"2"});
    world.callExternal(page.handle(), "jscommand", {"3"});
    EXPECT_FALSE(isMinimized(main->handle()));
    EXPECT_TRUE(isVisible(main->handle()));
}

TEST_F(Bridge, KnowsJscommandOnlyWrittenExactly)
{
    Browser page;
    ASSERT_TRUE(page.create(main->handle(), 1, {}, true));
    showWindow(main->handle(), Show::Normal);
    for (const char* name : {"JSCommand", "JSCOMMAND", "jscommand ", "jsCommand", ""})
        EXPECT_EQ(world.callExternal(page.handle(), name, {"0"}), Call::UnknownName) << name;
    EXPECT_EQ(app.ScriptBridge()->memberId("jscommand"), CImpIDispatch::DISPID_JSCOMMAND);
    world.runUntilIdle();
    EXPECT_TRUE(isVisible(main->handle()));
}

TEST_F(Bridge, APacketThatCannotBePostedIsFreed)
{
    Browser page;
    ASSERT_TRUE(page.create(main->handle(), 1, {}, true));
    app.SetMainWindow(0);
    // Under the sanitizer a packet that nobody frees shows as a leak.
    EXPECT_EQ(world.callExternal(page.handle(), "jscommand", {"<PKT></PKT>", "9"}), Call::Invoked);
    world.runUntilIdle();
    EXPECT_TRUE(main->posted.empty());
}

TEST_F(Bridge, PageCallsPassTheirArgumentsInOrderAndReportWhatHappened)
{
    CWebBrowser2 browser;
    ASSERT_TRUE(browser.Create(main->handle(), {0, 0, 100, 100}, 90002));
    const Handle b = browser.handle();
    ASSERT_TRUE(NavigateResource(browser, 326));
    world.definePageFunction(b, "startPage", [](const auto&) { return Value::NonText(); });
    world.definePageFunction(b, "getPacket", [](const std::vector<std::string>& args) {
        return Value::Text(args.empty() ? "" : "<PKT><IDX>" + args[0] + "</IDX></PKT>");
    });
    world.definePageFunction(b, "fails", [](const auto&) { return Value::Throws(); });

    std::vector<Outcome> outcomes;
    const PageResult record = [&](bool found, const std::string& text) { outcomes.push_back({found, text}); };
    CallPageFunction(browser, "startPage", {"5", "10", "<b>배너</b>"}, record);
    CallPageFunction(browser, "getPacket", {"3"}, record);
    CallPageFunction(browser, "fails", {}, record);
    CallPageFunction(browser, "setView", {"1"}, record);
    CallPageFunction(browser, "startPage", {});   // nobody waits for this one
    world.setDocumentReady(b, false);
    CallPageFunction(browser, "getPacket", {"3"}, record);

    EXPECT_EQ(outcomes, (std::vector<Outcome>{{true, ""}, {true, "<PKT><IDX>3</IDX></PKT>"}, {false, ""}, {false, ""}, {false, ""}}));
    const auto started = world.pageCalls(b, "startPage");
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].arguments, (std::vector<std::string>{"5", "10", "<b>배너</b>"}));
}

TEST_F(Bridge, PagesLoadFromTheCurrentResourceModule)
{
    CWebBrowser2 browser;
    ASSERT_TRUE(browser.Create(main->handle(), {0, 0, 100, 100}, 90002));
    auto loadedFrom = [&](int id) {
        EXPECT_TRUE(NavigateResource(browser, id));
        const auto n = world.navigations(browser.handle()).back();
        EXPECT_EQ(n.url, "res://" + n.modulePath + "/" + std::to_string(id));
        EXPECT_EQ(n.id, id);
        return n.modulePath;
    };
    EXPECT_EQ(loadedFrom(326), world.modulePath());
    app.LoadResourceDll(SKIN_LIBRARY);
    EXPECT_EQ(loadedFrom(326), SKIN_LIBRARY);
    // Back to the program's own pages, though the library stays loaded.
    app.LoadResourceDll("");
    EXPECT_NE(moduleByPath(SKIN_LIBRARY), nullptr);
    EXPECT_EQ(loadedFrom(311), world.modulePath());
}

} // namespace
