// The main list view: its browser and page, the header height it reads from the page, dragging
// the main window by the header, and the browser following the view's size.

#include "web_fixture.h"

#include "child_view.h"
#include "platform/loop.h"

#include <optional>

using namespace platform;
using namespace webtest;

namespace {

using Value = sim::World::PageValue;

struct ListView : WebTest {
    std::unique_ptr<CChildView> view;

    void SetUp() override
    {
        WebTest::SetUp();
        view = std::make_unique<CChildView>(app);
        ASSERT_TRUE(view->Create(main->handle(), clientRect(main->handle()), 59648));
    }
    void TearDown() override { view.reset(); }

    Handle browser() const { return view->m_browser.handle(); }
};

TEST_F(ListView, HostsTheMainListPageInASilentBrowserFillingIt)
{
    EXPECT_EQ(windowStyle(view->handle()) & WS_BORDER, 0u);
    EXPECT_TRUE(windowStyle(view->handle()) & WS_VISIBLE);
    EXPECT_EQ(childById(view->handle(), CChildView::kBrowserId), browser());
    EXPECT_EQ(windowRect(browser()), kMainRect);
    EXPECT_TRUE(world.browser(browser())->silent);
    ASSERT_EQ(world.navigations(browser()).size(), 1u);
    EXPECT_EQ(world.navigations(browser())[0].url, "res://" + world.modulePath() + "/311");
    EXPECT_EQ(world.navigations(browser())[0].modulePath, world.modulePath());
    EXPECT_EQ(world.navigations(browser())[0].id, 311);

    // The frame keeps its view filling it; the browser follows the view.
    setWindowPos(view->handle(), HWND_TOP, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(windowRect(browser()), (Rect{1500, 600, 2200, 1100}));
}

TEST_F(ListView, ReadsTheHeaderHeightFromThePageASecondAfterLoading)
{
    struct Case {
        const char* name;
        std::optional<Value> answer;   // nothing: the page has no getTopHeight
        bool ready;
        int height;
    } cases[] = {
        {"text", Value::Text("57"), true, 57},
        {"text with a unit", Value::Text(" 36px"), true, 36},
        {"not a number", Value::Text("tall"), true, 0},
        {"a number, not a text", Value::NonText(), true, 0},
        {"the function throws", Value::Throws(), true, 0},
        {"no such function", std::nullopt, true, 0},
        {"the page is not ready", Value::Text("57"), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.reset();
        app.m_topBarHeight = 41;
        view = std::make_unique<CChildView>(app);
        ASSERT_TRUE(view->Create(main->handle(), clientRect(main->handle()), 59648));
        if (c.answer)
            world.definePageFunction(browser(), "getTopHeight", [answer = *c.answer](const auto&) { return answer; });
        world.setDocumentReady(browser(), c.ready);
        world.advance(999);
        EXPECT_EQ(app.m_topBarHeight, 41);
        world.advance(1);
        EXPECT_EQ(app.m_topBarHeight, c.height);
        ASSERT_EQ(world.pageCalls(browser(), "getTopHeight").size(), 1u);
        EXPECT_TRUE(world.pageCalls(browser(), "getTopHeight")[0].arguments.empty());
        world.advance(5000);
        EXPECT_EQ(world.pageCalls(browser(), "getTopHeight").size(), 1u);
    }
}

TEST_F(ListView, ReadsAgainWhenTheMainWindowReArmsTheTimer)
{
    int height = 41;
    world.definePageFunction(browser(), "getTopHeight", [&](const auto&) { return Value::Text(std::to_string(height)); });
    height = 30;
    world.advance(1000);
    EXPECT_EQ(app.m_topBarHeight, 30);
    height = 60;
    setTimer(view->handle(), CChildView::kTopHeightTimer, CChildView::kTopHeightDelayMs);
    world.advance(1000);
    EXPECT_EQ(app.m_topBarHeight, 60);
}

TEST_F(ListView, ClicksOnTheHeaderDragTheMainWindow)
{
    struct Case {
        int y;
        bool onBrowser;
        bool drags;
    } cases[] = {
        {0, true, true},
        {40, true, true},
        {41, true, false},
        {200, true, false},
        {10, false, true},   // on the view itself
    };
    // Before the first reading the header is as tall as at start-up.
    ASSERT_EQ(app.m_topBarHeight, 41);
    for (const Case& c : cases) {
        SCOPED_TRACE("y " + std::to_string(c.y));
        const std::size_t before = world.drags().size();
        world.leftButtonDown(c.onBrowser ? browser() : view->handle(), {120, c.y});
        world.runUntilIdle();
        ASSERT_EQ(world.drags().size(), before + (c.drags ? 1 : 0));
        if (c.drags) {
            EXPECT_EQ(world.drags().back().window, main->handle());
            EXPECT_EQ(world.drags().back().hitTest, HTCAPTION);
            EXPECT_EQ(world.drags().back().screenPoint, (Point{1620, 600 + c.y}));
        }
    }

    // A page that could not say how tall its header is turns dragging off.
    world.advance(1000);
    ASSERT_EQ(app.m_topBarHeight, 0);
    const std::size_t before = world.drags().size();
    world.leftButtonDown(browser(), {120, 0});
    world.runUntilIdle();
    EXPECT_EQ(world.drags().size(), before);
}

} // namespace
