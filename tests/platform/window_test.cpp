// The shared window table: creation, placement, z-order, visibility, lookup.

#include "platform/desktop.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/sim/world.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

class Probe : public Window {
public:
    explicit Probe(bool failCreate = false) : failCreate_(failCreate) {}
    ~Probe() override
    {
        if (handle())
            destroyWindow(handle());
    }
    std::vector<std::uint32_t> seen;
    std::vector<Size> sizes;

    LResult onMessage(std::uint32_t message, WParam w, LParam l) override
    {
        seen.push_back(message);
        if (message == WM_CREATE && failCreate_)
            return -1;
        if (message == WM_SIZE)
            sizes.push_back({xFromLParam(l), yFromLParam(l)});
        return defaultHandling(message, w, l);
    }

private:
    bool failCreate_;
};

CreateParams popup(const char* cls, const char* title, Rect r)
{
    CreateParams p;
    p.className = cls;
    p.title = title;
    p.style = WS_POPUP;
    p.rect = r;
    return p;
}

TEST(Window, CreatedHiddenWithCreateThenSizeAndFoundByClassAndTitle)
{
    sim::World world;
    Probe w;
    ASSERT_TRUE(w.create(popup("Frame", "veruvev", {10, 20, 110, 120})));
    EXPECT_EQ(w.seen.front(), WM_CREATE);
    EXPECT_EQ(w.sizes, (std::vector<Size>{{100, 100}}));
    EXPECT_FALSE(isVisible(w.handle()));
    EXPECT_EQ(windowRect(w.handle()), (Rect{10, 20, 110, 120}));
    EXPECT_EQ(findWindow("Frame", "veruvev"), w.handle());
    EXPECT_EQ(findWindow("Frame", "other"), 0u);
    EXPECT_EQ(findWindow("frame", "veruvev"), 0u);
}

TEST(Window, CreationFailsWhenTheHandlerRefuses)
{
    sim::World world;
    Probe w(true);
    EXPECT_FALSE(w.create(popup("Frame", "", {0, 0, 1, 1})));
    EXPECT_EQ(w.handle(), 0u);
    EXPECT_EQ(findWindow("Frame", ""), 0u);
}

TEST(Window, SetWindowPosMovesSizesShowsAndOrders)
{
    sim::World world;
    Probe a, b;
    ASSERT_TRUE(a.create(popup("A", "", {0, 0, 10, 10})));
    ASSERT_TRUE(b.create(popup("B", "", {0, 0, 10, 10})));
    setWindowPos(a.handle(), HWND_TOPMOST, 5, 6, 30, 40, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    EXPECT_TRUE(isVisible(a.handle()));
    EXPECT_EQ(windowRect(a.handle()), (Rect{5, 6, 35, 46}));
    EXPECT_NE(foregroundWindow(), a.handle());
    EXPECT_TRUE(windowExStyle(a.handle()) & WS_EX_TOPMOST);
    // A plain window brought to the top stays behind the topmost one.
    setWindowPos(b.handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_EQ(foregroundWindow(), b.handle());
    auto order = zOrder();
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], a.handle());
    EXPECT_EQ(order[1], b.handle());
    // Keep size and position: only the z-order may change.
    setWindowPos(b.handle(), HWND_TOPMOST, 99, 99, 1, 1, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(zOrder()[0], b.handle());
    EXPECT_EQ(windowRect(b.handle()), (Rect{0, 0, 10, 10}));
}

TEST(Window, MaximizeRestoreAndMinimizeKeepTheNormalRectangle)
{
    sim::World world(sim::World::Options{{0, 0, 800, 600}});
    world.placeTaskbar({0, 560, 800, 600});
    Probe w;
    ASSERT_TRUE(w.create(popup("W", "", {100, 100, 300, 200})));
    showWindow(w.handle(), Show::Maximize);
    EXPECT_TRUE(isMaximized(w.handle()));
    EXPECT_EQ(windowRect(w.handle()), (Rect{0, 0, 800, 560}));
    showWindow(w.handle(), Show::Restore);
    EXPECT_FALSE(isMaximized(w.handle()));
    EXPECT_EQ(windowRect(w.handle()), (Rect{100, 100, 300, 200}));
    showWindow(w.handle(), Show::Minimize);
    EXPECT_TRUE(isMinimized(w.handle()));
    showWindow(w.handle(), Show::Restore);
    EXPECT_EQ(windowRect(w.handle()), (Rect{100, 100, 300, 200}));
}

TEST(Window, ChildrenGoWithTheirParentAndCloseDestroysByDefault)
{
    sim::World world;
    auto parent = std::make_unique<Probe>();
    ASSERT_TRUE(parent->create(popup("P", "", {50, 60, 250, 260})));
    Probe child;
    CreateParams c;
    c.className = "C";
    c.style = WS_CHILD | WS_VISIBLE;
    c.rect = {0, 0, 200, 200};
    c.parent = parent->handle();
    c.controlId = 90001;
    ASSERT_TRUE(child.create(c));
    EXPECT_EQ(childById(parent->handle(), 90001), child.handle());
    EXPECT_EQ(clientToScreen(child.handle(), {1, 2}), (Point{51, 62}));
    EXPECT_FALSE(isVisible(child.handle()));   // the parent is still hidden
    const Handle childHandle = child.handle();
    post(parent->handle(), WM_CLOSE);
    world.runUntilIdle();
    EXPECT_FALSE(isWindow(childHandle));
    EXPECT_EQ(child.handle(), 0u);
    EXPECT_EQ(parent->handle(), 0u);
}

TEST(Window, TaskbarIsAWindowTheTestPlacesAndRemoves)
{
    sim::World world(sim::World::Options{{0, 0, 1280, 1024}});
    EXPECT_EQ(findWindow("Shell_TrayWnd", ""), 0u);
    world.placeTaskbar({0, 984, 1280, 1024});
    const Handle bar = findWindow("Shell_TrayWnd", "");
    ASSERT_NE(bar, 0u);
    EXPECT_EQ(windowRect(bar).top, 984);
    EXPECT_EQ(windowRect(desktopWindow()), (Rect{0, 0, 1280, 1024}));
    world.removeTaskbar();
    EXPECT_EQ(findWindow("Shell_TrayWnd", ""), 0u);
}

TEST(Window, OpacityNeedsTheLayeredStyleAndADisplayThatCanDoIt)
{
    sim::World world;
    Probe w;
    CreateParams p = popup("L", "", {0, 0, 10, 10});
    ASSERT_TRUE(w.create(p));
    EXPECT_FALSE(setWindowOpacity(w.handle(), 51));
    setWindowExStyle(w.handle(), windowExStyle(w.handle()) | WS_EX_LAYERED);
    EXPECT_TRUE(setWindowOpacity(w.handle(), 51));
    EXPECT_EQ(windowOpacity(w.handle()), 51);
    setWindowExStyle(w.handle(), windowExStyle(w.handle()) & ~WS_EX_LAYERED);
    EXPECT_EQ(windowOpacity(w.handle()), std::nullopt);
    world.setOpacitySupported(false);
    setWindowExStyle(w.handle(), windowExStyle(w.handle()) | WS_EX_LAYERED);
    EXPECT_FALSE(setWindowOpacity(w.handle(), 100));
}

} // namespace
