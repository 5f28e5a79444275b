// Popup windows: creation, placement per kind, hand-over, closing, sounds, fade-in, shape, the
// read viewer and dragging.

#include "web_fixture.h"

#include "imp_idispatch.h"
#include "platform/files.h"
#include "platform/loop.h"
#include "platform/resources.h"

#include <algorithm>
#include <optional>

using namespace platform;
using namespace webtest;

namespace {

using Popups = WebTest;

bool IsTopmost(Handle window) { return (windowExStyle(window) & WS_EX_TOPMOST) != 0; }
bool IsLayered(Handle window) { return (windowExStyle(window) & WS_EX_LAYERED) != 0; }

TEST_F(Popups, AreCreatedHiddenOffScreenAsLayeredToolWindowsWithASilentBrowser)
{
    CMyWebWnd& popup = main->Open(0);
    const Handle w = popup.handle();
    EXPECT_EQ(findWindow("Orvane-BrowserWnd", "Orvane-BrowserWnd"), w);
    EXPECT_FALSE(isVisible(w));
    EXPECT_EQ(windowRect(w), (Rect{-1000, -1000, -500, -500}));
    EXPECT_EQ(windowStyle(w), WS_POPUP);
    EXPECT_EQ(windowExStyle(w), WS_EX_TOOLWINDOW | WS_EX_LAYERED);
    EXPECT_EQ(parentWindow(w), desktopWindow());
    EXPECT_FALSE(windowOpacity(w));

    const Handle browser = childById(w, CMyWebWnd::kBrowserId);
    ASSERT_NE(browser, 0u);
    EXPECT_EQ(browser, popup.BrowserHandle());
    EXPECT_EQ(windowRect(browser), windowRect(w));
    EXPECT_TRUE(world.browser(browser)->silent);
    EXPECT_TRUE(world.navigations(browser).empty());
}

TEST_F(Popups, EachKindTakesItsPageSizeAndPlaceAboveTheTaskbar)
{
    struct Case {
        const char* kind;   // P-WND, or nullptr for none
        bool position;      // P-LEFT 100 and P-TOP 50 given
        int page;
        Rect withTaskbar;
        Rect withoutTaskbar;
        bool activated;
    } cases[] = {
        {nullptr, true, 326, {1620, 840, 1920, 1040}, {1620, 880, 1920, 1080}, false},
        {"1", false, 326, {1620, 840, 1920, 1040}, {1620, 880, 1920, 1080}, false},
        {"2", true, 327, {1683, 915, 1920, 1040}, {1683, 955, 1920, 1080}, false},
        {"3", true, 345, {1683, 1010, 1920, 1040}, {1683, 1050, 1920, 1080}, false},
        {"9", true, 346, {100, 50, 400, 250}, {100, 50, 400, 250}, true},
        {"9", false, 346, {0, 0, 300, 200}, {0, 0, 300, 200}, true},
    };
    int serial = 0;
    for (bool taskbar : {true, false}) {
        if (taskbar)
            world.placeTaskbar({0, 1040, 1920, 1080});
        else
            world.removeTaskbar();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.kind ? c.kind : "none") + (c.position ? " placed" : "") +
                         (taskbar ? " with taskbar" : " without taskbar"));
            setForegroundWindow(main->handle());
            CMyWebWnd& popup = main->Open(serial);
            Packet packet(Note({{"P-TIT", "제목"}, {"P-WW", "300"}, {"P-HH", "200"}}));
            if (c.position) {
                packet.AddTag("P-LEFT", "100");
                packet.AddTag("P-TOP", "50");
            }
            if (c.kind)
                packet.AddTag("P-WND", c.kind);
            const std::int64_t shown = world.now();
            popup.ShowPacket(packet.GetText());
            const Handle b = popup.BrowserHandle();
            ASSERT_EQ(world.navigations(b).size(), 1u);
            EXPECT_EQ(world.navigations(b)[0].modulePath, world.modulePath());
            EXPECT_EQ(world.navigations(b)[0].id, c.page);
            EXPECT_EQ(windowText(popup.handle()), "제목");

            world.advance(99);
            EXPECT_FALSE(isVisible(popup.handle()));
            world.advance(1);
            EXPECT_TRUE(isVisible(popup.handle()));
            EXPECT_EQ(windowRect(popup.handle()), taskbar ? c.withTaskbar : c.withoutTaskbar);
            EXPECT_TRUE(IsTopmost(popup.handle()));
            EXPECT_EQ(foregroundWindow() == popup.handle(), c.activated);
            EXPECT_EQ(windowRect(b), windowRect(popup.handle()));

            // The page gets the packet at placement and once more a second later.
            world.advance(1000);
            const auto handOvers = world.pageCalls(b, "setPacket");
            ASSERT_EQ(handOvers.size(), 2u);
            for (const auto& call : handOvers)
                EXPECT_EQ(call.arguments, (std::vector<std::string>{packet.GetText(), std::to_string(serial)}));
            EXPECT_EQ(handOvers[0].time, shown + 100);
            EXPECT_EQ(handOvers[1].time, shown + 1100);
            ++serial;
        }
    }
}

TEST_F(Popups, NotesArrivingTogetherShareTheCornerWithTheNewestOnTop)
{
    world.placeTaskbar({0, 1040, 1920, 1080});
    const std::string note = Note({{"P-WW", "300"}, {"P-HH", "200"}});
    CMyWebWnd& first = main->Open(0);
    first.ShowPacket(note);
    world.advance(40);
    CMyWebWnd& second = main->Open(1);
    second.ShowPacket(note);
    world.advance(200);
    EXPECT_EQ(windowRect(first.handle()), windowRect(second.handle()));
    const auto order = zOrder();
    const auto at = [&](Handle h) { return std::find(order.begin(), order.end(), h) - order.begin(); };
    EXPECT_LT(at(second.handle()), at(first.handle()));
}

TEST_F(Popups, CloseAfterPCloseSecThroughTheirPage)
{
    struct Case {
        const char* closeSec;
        std::optional<std::int64_t> askedAfterPlacement;
    } cases[] = {
        {"5", 4900},
        {"0", std::nullopt},
        {"-3", std::nullopt},
        // 4294968 s in milliseconds does not fit 32 bits: the window waits as long as a timer can.
        {"4294968", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.closeSec);
        CMyWebWnd& popup = main->Open(12);
        const Handle w = popup.handle();
        const Handle b = popup.BrowserHandle();
        ActAsPopupPage(b);
        main->posted.clear();
        popup.ShowPacket(Note({{"P-WW", "300"}, {"P-HH", "200"}, {"P-CLOSESEC", c.closeSec}}));
        const std::int64_t placed = world.now() + 100;
        world.advance(60'000);
        const auto asked = world.pageCalls(b, "onWebExit");
        if (!c.askedAfterPlacement) {
            EXPECT_TRUE(asked.empty());
            EXPECT_TRUE(isWindow(w));
            main->popups.clear();
            continue;
        }
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].time - placed, *c.askedAfterPlacement);
        EXPECT_EQ(main->posted, (std::vector<TestMainWindow::Posted>{{WM_NOTE_CLOSED, 12, ""}}));
        EXPECT_FALSE(isWindow(w));
        EXPECT_TRUE(main->popups.empty());
    }
}

TEST_F(Popups, SoundAlertsByKindAlertLevelAndTheAlarmSettingReadEachTime)
{
    struct Case {
        const char* alarm;   // ALARM in Orvane.ini; nullptr: the key is missing (on)
        const char* kind;
        const char* alert;   // P-ALM
        std::vector<int> sounds;
        bool firstCutAtOnce;
    } cases[] = {
        {"0", "1", "2", {316}, false},
        {"1", "1", "2", {316, 316}, true},
        {"1", "2", "2", {316, 351}, true},
        {"0", "1", "1", {}, false},
        {nullptr, "1", "1", {316}, false},
        {"1", "0", "1", {316}, false},
        {"1", "2", "1", {351}, false},
        {"1", "3", "5", {351}, false},
        {"1", "9", "1", {}, false},
        {"0", "9", "2", {316}, false},
        {"1", "1", "0", {}, false},
        {"1", "3", "-1", {}, false},
    };
    const std::string settings = app.MainSettingsPath();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("ALARM ") + (c.alarm ? c.alarm : "missing") + ", P-WND " + c.kind + ", P-ALM " + c.alert);
        ASSERT_TRUE(writeWholeFile(settings, c.alarm ? std::string("[Orvane]\nALARM=") + c.alarm + "\n" : ""));
        const std::size_t before = world.sounds().size();
        CMyWebWnd& popup = main->Open(1);
        popup.ShowPacket(Note({{"P-WND", c.kind}, {"P-ALM", c.alert}, {"P-WW", "300"}, {"P-HH", "200"}}));
        const std::int64_t placed = world.now() + 100;
        world.advance(3000);
        const std::vector<sim::World::Sound> played(world.sounds().begin() + static_cast<long>(before), world.sounds().end());
        std::vector<int> ids;
        for (const auto& sound : played) {
            ids.push_back(sound.programWave);
            EXPECT_EQ(sound.start, placed);
        }
        EXPECT_EQ(ids, c.sounds);
        if (!played.empty()) {
            EXPECT_EQ(played[0].cutOffAt == placed, c.firstCutAtOnce);
        }
        main->popups.clear();
    }
    // The flag the tray menu shows is not what decides.
    EXPECT_EQ(app.m_alarm, 1);
}

TEST_F(Popups, TakePagesFromTheResourceLibraryButSoundsFromTheProgram)
{
    app.LoadResourceDll(SKIN_LIBRARY);
    ASSERT_NE(&currentResourceModule(), &programModule());
    CMyWebWnd& popup = main->Open(0);
    popup.ShowPacket(Note({{"P-ALM", "1"}}));
    world.advance(100);
    ASSERT_EQ(world.navigations(popup.BrowserHandle()).size(), 1u);
    EXPECT_EQ(world.navigations(popup.BrowserHandle())[0].modulePath, SKIN_LIBRARY);
    const auto script = world.resolveResource(popup.BrowserHandle(), "res:/JS/#313");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->bytes, "var skin = true;\n");
    ASSERT_EQ(world.sounds().size(), 1u);
    EXPECT_EQ(world.sounds()[0].programWave, 316);
}

TEST_F(Popups, FadeInOverElevenStepsThenBecomeOrdinaryWindows)
{
    CMyWebWnd& popup = main->Open(0);
    const Handle w = popup.handle();
    popup.ShowPacket(Note({{"P-WW", "300"}, {"P-HH", "200"}}));
    world.advance(100);
    EXPECT_TRUE(IsLayered(w));
    EXPECT_FALSE(windowOpacity(w));   // not drawn before the first step
    std::vector<int> steps;
    for (int tick = 0; tick < 11; ++tick) {
        world.advance(100);
        ASSERT_TRUE(windowOpacity(w));
        steps.push_back(*windowOpacity(w));
    }
    EXPECT_EQ(steps, (std::vector<int>{51, 51, 71, 94, 117, 140, 163, 186, 209, 232, 255}));
    EXPECT_TRUE(IsLayered(w));
    world.advance(100);
    EXPECT_FALSE(IsLayered(w));
    EXPECT_FALSE(windowOpacity(w));
    EXPECT_FALSE(hasTimer(w, 2506));
}

TEST_F(Popups, AreOpaqueAtOnceWhereTheDisplayCannotFade)
{
    world.setOpacitySupported(false);
    CMyWebWnd& popup = main->Open(0);
    popup.ShowPacket(Note({{"P-WW", "300"}, {"P-HH", "200"}}));
    world.advance(200);
    EXPECT_FALSE(IsLayered(popup.handle()));
    EXPECT_TRUE(isVisible(popup.handle()));
    world.advance(2000);
    EXPECT_FALSE(hasTimer(popup.handle(), 2506));
}

TEST_F(Popups, OnlyTheAlarmStripHasThePointerShape)
{
    CMyWebWnd& strip = main->Open(0);
    strip.ShowPacket(Note({{"P-WND", "3"}}));
    CMyWebWnd& box = main->Open(1);
    box.ShowPacket(Note({{"P-WND", "2"}}));
    world.advance(100);
    const Region pointer{{{5, 0}, {5, 25}, {113, 25}, {118, 30}, {123, 25}, {232, 25}, {232, 0}, {5, 0}}};
    EXPECT_EQ(windowRegion(strip.handle()), pointer);
    EXPECT_EQ(windowRegion(box.handle()), Region{});
}

TEST_F(Popups, APageNotReadyAtPlacementGetsThePacketASecondLater)
{
    CMyWebWnd& popup = main->Open(3);
    const Handle b = popup.BrowserHandle();
    ActAsPopupPage(b);
    popup.ShowPacket(Note({{"P-WW", "300"}, {"P-HH", "200"}}));
    world.setDocumentReady(b, false);
    world.advance(100);
    EXPECT_TRUE(isVisible(popup.handle()));
    world.setDocumentReady(b, true);
    world.advance(1000);
    const auto calls = world.pageCalls(b, "setPacket");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].status, CallStatus::NoDocument);
    EXPECT_EQ(calls[1].status, CallStatus::Ok);
}

TEST_F(Popups, TheReadViewerSitsLeftOfTheMainWindowAndIsReloadedEachTime)
{
    struct Case {
        const char* kind;   // P-WND of the row's packet, nullptr for none
        Rect rect;
    } cases[] = {
        {nullptr, {1185, 714, 1500, 1000}},   // 300 x 200 grown by 15 x 86
        {"0", {1185, 714, 1500, 1000}},
        {"1", {1200, 800, 1500, 1000}},
        {"9", {1200, 800, 1500, 1000}},
    };
    CMyWebWnd& viewer = main->Open(30000);
    const Handle w = viewer.handle();
    const Handle b = viewer.BrowserHandle();
    std::size_t shown = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind ? c.kind : "none");
        Packet row(Note({{"P-WW", "300"}, {"P-HH", "200"}, {"P-TIT", "row"}}));
        if (c.kind)
            row.AddTag("P-WND", c.kind);
        viewer.ShowReadPacket(row.GetText());
        ++shown;
        ASSERT_EQ(world.navigations(b).size(), shown);
        EXPECT_EQ(world.navigations(b).back().id, 326);
        world.advance(100);
        EXPECT_TRUE(isVisible(w));
        EXPECT_EQ(windowRect(w), c.rect);
        EXPECT_FALSE(IsTopmost(w));
        EXPECT_FALSE(IsLayered(w));
        world.advance(1000);
        const auto calls = world.pageCalls(b, "setPacket");
        ASSERT_GE(calls.size(), 2u);
        for (auto it = calls.end() - 2; it != calls.end(); ++it)
            EXPECT_EQ(it->arguments, (std::vector<std::string>{row.GetText(), "30000"}));
    }
    EXPECT_EQ(main->popups.size(), 1u);
}

TEST_F(Popups, OnlyViewersAndPageWindowsAreDraggedByTheirTopStrip)
{
    struct Case {
        int serial;
        int y;
        bool drags;
    } cases[] = {
        {0, 10, false},
        {29999, 0, false},
        {30000, 0, true},
        {30000, 40, true},
        {30000, 41, false},
        {30001, 20, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("serial " + std::to_string(c.serial) + " at y " + std::to_string(c.y));
        CMyWebWnd& popup = main->Open(c.serial);
        popup.ShowPacket(Note({{"P-WND", "9"}, {"P-LEFT", "200"}, {"P-TOP", "100"}, {"P-WW", "730"}, {"P-HH", "540"}}));
        world.advance(100);
        const std::size_t before = world.drags().size();
        world.leftButtonDown(popup.BrowserHandle(), {30, c.y});
        world.runUntilIdle();
        ASSERT_EQ(world.drags().size(), before + (c.drags ? 1 : 0));
        if (c.drags) {
            EXPECT_EQ(world.drags().back().window, popup.handle());
            EXPECT_EQ(world.drags().back().hitTest, HTCAPTION);
            EXPECT_EQ(world.drags().back().screenPoint, (Point{230, 100 + c.y}));
        }
        main->popups.clear();
    }
}

TEST_F(Popups, CloseMessageDestroysTheWindowAndLeavesTheObject)
{
    CMyWebWnd& popup = main->Open(4);
    popup.ShowPacket(Note({{"P-WW", "300"}, {"P-HH", "200"}, {"P-CLOSESEC", "5"}}));
    world.advance(300);
    const Handle w = popup.handle();
    const Handle b = popup.BrowserHandle();
    ASSERT_TRUE(post(w, WM_CLOSE));
    world.runUntilIdle();
    EXPECT_FALSE(isWindow(w));
    EXPECT_FALSE(world.browser(b));
    world.advance(10'000);   // no timer of the gone window fires into the object
    EXPECT_TRUE(world.pageCalls(b, "onWebExit").empty());
    EXPECT_EQ(main->popups.size(), 1u);
}

} // namespace
