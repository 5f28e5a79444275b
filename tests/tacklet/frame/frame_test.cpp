// The Tacklet program end to end on the simulated desktop: the push simulator plays the server
// over loopback, the virtual clock drives the timers, and the test acts as the user (tray icon,
// menus, message boxes) and as the pages (page functions, window.external.jscommand). What is
// checked is what a user and the server see: windows, settings files, bytes on the wire, page
// calls and HTTP requests.

#include "tacklet_world.h"
#include "main_frame.h"
#include "my_web_wnd.h"
#include "orvane_app.h"
#include "packet.h"
#include "resources.h"

#include "platform/dialogs.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "platform/sim/world.h"
#include "platform/window.h"
#include "pushsim/push_server.h"
#include "pushsim/web_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr auto kWait = 5s;   // only reached when something is broken
const std::string kTerminator = "\r\n\0"s;
const Rect kTaskbar{0, 1040, 1920, 1080};

std::string packetText(PacketKind type, std::initializer_list<std::pair<const char*, std::string>> tags)
{
    Packet packet(type);
    for (const auto& [tag, value] : tags)
        packet.AddTag(tag, value);
    return packet.GetText();
}

using Args = std::vector<std::string>;

struct Tacklet : ::testing::Test {
    sim::World world{TackletWorld()};
    pushsim::PushServer server;
    std::optional<COrvaneApp> app;
    Handle frame = 0;

    void SetUp() override
    {
        world.placeTaskbar(kTaskbar);
        ASSERT_TRUE(server.listen());
        setting("IP", "127.0.0.1");
        setting("PORT", std::to_string(server.port()));
    }

    std::string ini() const { return world.programFolder() + "/Orvane.ini"; }
    std::string resourceIni() const { return world.programFolder() + "/Tacklet.ini"; }
    void setting(const char* key, const std::string& value) { writeProfileString("Orvane", key, value, ini()); }
    std::string stored(const char* key) const { return profileString("Orvane", key, "<none>", 100, ini()); }

    void start()
    {
        app.emplace();
        ASSERT_TRUE(app->InitInstance());
        frame = app->MainFrame()->handle();
    }
    // Starts and waits for the login, with the first page calls done.
    void startConnected()
    {
        start();
        ASSERT_TRUE(world.advanceUntil([&] { return server.settle(0ms) && server.acceptedCount() == 1; }, 1000, 10, 20ms));
        ASSERT_TRUE(server.nextPacket(kWait).has_value());   // the login
    }
    void restart()
    {
        app.reset();
        start();
    }
    CMainFrame& mainFrame() { return *app->MainFrame(); }
    Handle view() { return mainFrame().View().m_browser.handle(); }

    std::vector<Args> calls(std::string_view function)
    {
        std::vector<Args> out;
        for (const auto& call : world.pageCalls(view(), function))
            out.push_back(call.arguments);
        return out;
    }
    // The server sends `text` and, in the same write, a call of the page function "sync"; both
    // are dispatched in the same tick. Waits for that tick and returns its time.
    std::int64_t receive(const std::string& text)
    {
        const std::size_t before = calls("sync").size();
        const std::string marker = packetText(PKT_CALL, {{"FUNC", "sync"}});
        EXPECT_TRUE(server.sendRaw(text + kTerminator + marker + kTerminator));
        EXPECT_TRUE(world.advanceUntil([&] { return calls("sync").size() > before; }, 2000, 1, 5ms));
        const auto syncs = world.pageCalls(view(), "sync");
        return syncs.empty() ? -1 : syncs.back().time;
    }
    std::vector<int> serials()
    {
        std::vector<int> out;
        for (const auto& note : mainFrame().NoteWindows())
            out.push_back(note->m_nSerial);
        return out;
    }
    // The page calls window.external.jscommand(parameter, code).
    void jscommand(Handle browser, Args args)
    {
        ASSERT_EQ(world.callExternal(browser, "jscommand", args), sim::World::ExternalCall::Invoked);
        world.runUntilIdle();
    }
    void chooseFromTray(std::uint32_t command)
    {
        world.chooseMenuItems({command});
        ASSERT_TRUE(world.clickTray(WM_RBUTTONUP));
        world.runUntilIdle();
    }
};

TEST_F(Tacklet, FirstMinuteOfAFreshInstall)
{
    start();
    // A hidden 100 x 100 popup in the corner above the taskbar, the view filling it.
    EXPECT_EQ(windowRect(frame), (Rect{1820, 940, 1920, 1040}));
    EXPECT_FALSE(isVisible(frame));
    EXPECT_EQ(windowStyle(frame) & ~WS_VISIBLE, WS_POPUP | WS_SYSMENU);
    EXPECT_EQ(windowExStyle(frame) & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(windowText(frame), "veruvev");
    const Handle pane = childById(frame, AFX_IDW_PANE_FIRST);
    ASSERT_NE(pane, 0u);
    EXPECT_EQ(windowRect(pane), windowRect(frame));
    ASSERT_TRUE(world.trayIcon().has_value());
    EXPECT_EQ(world.trayIcon()->tip, "Tacklet V2.0");
    EXPECT_EQ(world.trayIcon()->callbackMessage, WM_TRAY_NOTIFY);
    EXPECT_FALSE(world.trayIcon()->icon.empty());

    // 100 ms: connect and log in; startPage with CP and page size, then with the banner a second
    // later; a keep-alive a minute after the login.
    world.advance(100);
    ASSERT_TRUE(server.settle(kWait));
    EXPECT_EQ(server.nextPacket(kWait),
              "<PKT><GBN>1</GBN><P-ID>0</P-ID><P-CP>5</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>");
    EXPECT_EQ(calls("startPage"), (std::vector<Args>{{"5", "5"}}));
    world.advance(1000);
    EXPECT_EQ(calls("startPage"), (std::vector<Args>{{"5", "5"}, {"5", "5", ""}}));
    world.advance(59000);
    ASSERT_TRUE(server.settle(kWait));
    EXPECT_EQ(server.nextPacket(kWait), "<PKT><GBN>100</GBN></PKT>");
    EXPECT_FALSE(isVisible(frame));
    EXPECT_TRUE(world.messageBoxes().empty());
}

TEST_F(Tacklet, VersionPacketReachesTheNextLoginAndSizesTheFrame)
{
    startConnected();
    showWindow(frame, Show::Normal);
    receive(packetText(PKT_VER, {{"SEQ", "1234"}, {"CP", "7"}, {"VER", "2.0"}, {"WW", "300"}, {"HH", "200"},
                                 {"BNR", "<b>x</b>"}, {"RES_DLL", world.root() + "/missing.so"}}));
    EXPECT_EQ(stored("ID"), "1234");
    EXPECT_EQ(stored("CP"), "7");
    EXPECT_EQ(windowRect(frame), (Rect{1620, 840, 1920, 1040}));
    EXPECT_FALSE(isVisible(frame));
    // No page size means 5; a missing library means startPage at once, with the banner.
    EXPECT_EQ(calls("startPage").back(), (Args{"7", "5", "<b>x</b>"}));
    EXPECT_EQ(windowRect(childById(frame, AFX_IDW_PANE_FIRST)), windowRect(frame));

    restart();
    world.advance(100);
    ASSERT_TRUE(server.settle(kWait));
    EXPECT_EQ(server.receivedBytes(1),
              "<PKT><GBN>1</GBN><P-ID>1234</P-ID><P-CP>7</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>" + kTerminator);
}

TEST_F(Tacklet, ResourceLibrariesFromVersionAndBannerPackets)
{
    startConnected();
    // A library that loads reloads the list page from it; the reload calls startPage.
    const std::size_t before = calls("startPage").size();
    const std::int64_t dispatched =
        receive(packetText(PKT_VER, {{"CP", "7"}, {"VER", "2.0"}, {"BNR", "ad"}, {"RES_DLL", SKIN_LIBRARY}}));
    world.runUntilIdle();
    const auto loads = world.navigations(view());
    ASSERT_FALSE(loads.empty());
    EXPECT_EQ(loads.back().modulePath, SKIN_LIBRARY);
    EXPECT_EQ(loads.back().id, 311);
    ASSERT_EQ(calls("startPage").size(), before + 1);
    EXPECT_EQ(calls("startPage").back(), (Args{"7", "5"}));
    world.advance(dispatched + 1000 - world.now());
    EXPECT_EQ(calls("startPage").back(), (Args{"7", "5", "ad"}));

    // A banner packet's library is loaded and stored only when it differs from the stored one.
    receive(packetText(PKT_BNR, {{"RES_DLL", SKIN_LIBRARY}}));
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "<none>", 1000, resourceIni()), SKIN_LIBRARY);
    const std::size_t reloads = world.navigations(view()).size();
    receive(packetText(PKT_BNR, {{"RES_DLL", SKIN_LIBRARY}}));
    world.runUntilIdle();
    EXPECT_EQ(world.navigations(view()).size(), reloads);
    // An empty one returns to the program's own resources.
    receive(packetText(PKT_BNR, {{"RES_DLL", ""}}));
    world.runUntilIdle();
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "<none>", 1000, resourceIni()), "");
    EXPECT_EQ(world.navigations(view()).back().modulePath, world.modulePath());
}

TEST_F(Tacklet, SameVersionStartsOnlyTheNoOpTimer)
{
    startConnected();
    receive(packetText(PKT_VER, {{"VER", "2.0"}, {"PGSZ", "8"}}));
    EXPECT_TRUE(hasTimer(frame, TIMER_NO_UPDATE));
    EXPECT_FALSE(hasTimer(frame, TIMER_UPDATE));
    ASSERT_EQ(calls("startPage").back().size(), 3u);
    EXPECT_EQ(calls("startPage").back()[1], "8");
    world.advance(2000);
    EXPECT_FALSE(hasTimer(frame, TIMER_NO_UPDATE));
    EXPECT_FALSE(hasTimer(frame, TIMER_UPDATE));
}

TEST_F(Tacklet, AnotherVersionFetchesTheInstructionsTwoSecondsLater)
{
    pushsim::WebServer web;
    if (!web.listen(8090))
        GTEST_SKIP() << "the instruction address's port 8090 is taken on this machine";
    web.serve("/tackletSetup.aspx", "", "text/plain");
    startConnected();
    std::size_t fetched = 0;
    for (const std::string version : {"2.1", ""}) {
        const std::int64_t dispatched = receive(packetText(PKT_VER, {{"VER", version}}));
        world.advance(dispatched + 1999 - world.now());
        EXPECT_EQ(web.requests().size(), fetched) << version;
        world.advance(1);
        ASSERT_EQ(web.requests().size(), ++fetched) << version;
        EXPECT_EQ(web.requests().back().path, "/tackletSetup.aspx");
        EXPECT_FALSE(hasTimer(frame, TIMER_UPDATE));
    }
}

TEST_F(Tacklet, ThreeNotesClosedOneByOneByTheirPages)
{
    startConnected();
    for (int i = 0; i < 3; ++i)
        receive(packetText(PKT_MSG, {{"P-TIT", "note " + std::to_string(i)}}));
    ASSERT_EQ(serials(), (std::vector<int>{0, 1, 2}));
    std::vector<Handle> windows;
    for (const auto& note : mainFrame().NoteWindows())
        windows.push_back(note->handle());

    jscommand(mainFrame().NoteWindows()[1]->BrowserHandle(), {"1", "6"});
    EXPECT_EQ(serials(), (std::vector<int>{0, 2}));
    EXPECT_FALSE(isWindow(windows[1]));
    // A second close for the same serial finds nothing.
    jscommand(mainFrame().NoteWindows()[0]->BrowserHandle(), {"1", "6"});
    EXPECT_EQ(serials(), (std::vector<int>{0, 2}));
    jscommand(mainFrame().NoteWindows()[0]->BrowserHandle(), {"0", "6"});
    jscommand(mainFrame().NoteWindows()[0]->BrowserHandle(), {"2", "6"});
    EXPECT_TRUE(serials().empty());
    EXPECT_FALSE(isWindow(windows[0]) || isWindow(windows[2]));
}

TEST_F(Tacklet, BurstOfTenIsDispatchedFourFourTwo)
{
    startConnected();
    std::string burst;
    for (int i = 0; i < 10; ++i)
        burst += packetText(PKT_CALL, {{"FUNC", "f"}, {"P0", std::to_string(i)}}) + "\r\n\0"s;
    ASSERT_TRUE(server.sendRaw(burst));
    ASSERT_TRUE(world.advanceUntil([&] { return !calls("f").empty(); }, 2000, 1, 5ms));
    std::map<std::int64_t, int> perTick;
    world.advance(300);
    for (const auto& call : world.pageCalls(view(), "f"))
        ++perTick[call.time];
    std::vector<int> counts;
    for (const auto& [time, count] : perTick)
        counts.push_back(count);
    EXPECT_EQ(counts, (std::vector<int>{4, 4, 2}));
    ASSERT_EQ(calls("f").size(), 10u);
    EXPECT_EQ(calls("f")[9], (Args{"9"}));
}

TEST_F(Tacklet, FailureDuringDispatchShowsOneErrorAndTheRestWaitsForTheNextTick)
{
    startConnected();
    // The page object model fails inside the first call.
    world.definePageFunction(view(), "boom", [](const Args&) -> sim::World::PageValue {
        throw std::runtime_error("the page object model failed");
    });
    std::string burst;
    for (const char* function : {"boom", "f", "f"})
        burst += packetText(PKT_CALL, {{"FUNC", function}}) + kTerminator;
    ASSERT_TRUE(server.sendRaw(burst));
    ASSERT_TRUE(world.advanceUntil([&] { return !world.messageBoxes().empty(); }, 2000, 1, 5ms));
    ASSERT_EQ(world.messageBoxes().size(), 1u);
    EXPECT_EQ(world.messageBoxes()[0].text, "ERROR");
    EXPECT_EQ(world.messageBoxes()[0].caption, loadString(IDS_APP_TITLE));
    EXPECT_EQ(world.messageBoxes()[0].buttons, Buttons::Ok);
    EXPECT_TRUE(calls("f").empty());
    world.advance(100);
    EXPECT_EQ(calls("f").size(), 2u);
    EXPECT_EQ(world.messageBoxes().size(), 1u);
}

TEST_F(Tacklet, CallSkipsEmptyArgumentsAndOtherKindsAreIgnored)
{
    startConnected();
    receive(packetText(PKT_CALL, {{"FUNC", "setView"}, {"P0", ""}, {"P1", "3"}}));
    EXPECT_EQ(calls("setView"), (std::vector<Args>{{"3"}}));
    const Rect place = windowRect(frame);
    receive("<PKT><GBN>1</GBN><FUNC>setView</FUNC></PKT>");
    receive("<PKT><GBN>100</GBN><FUNC>setView</FUNC></PKT>");
    receive("<PKT><FUNC>setView</FUNC></PKT>");
    EXPECT_EQ(calls("setView").size(), 1u);
    EXPECT_EQ(windowRect(frame), place);
    EXPECT_TRUE(mainFrame().NoteWindows().empty());
}

TEST_F(Tacklet, BannerWithTheCurrentAndWithANewSize)
{
    startConnected();
    receive(packetText(PKT_VER, {{"VER", "2.0"}, {"WW", "300"}, {"HH", "200"}}));
    showWindow(frame, Show::Normal);
    // The user has moved the frame; the same size leaves it there.
    moveWindow(frame, {100, 100, 400, 300});
    receive(packetText(PKT_BNR, {{"WW", "300"}, {"HH", "200"}, {"BNR", "b1"}, {"PGSZ", "0"}}));
    EXPECT_EQ(windowRect(frame), (Rect{100, 100, 400, 300}));
    EXPECT_EQ(calls("setBnr").back(), (Args{"b1", "0"}));
    // A new size goes back to the corner; visibility stays.
    receive(packetText(PKT_BNR, {{"WW", "500"}, {"HH", "400"}, {"BNR", "b2"}}));
    EXPECT_EQ(windowRect(frame), (Rect{1420, 640, 1920, 1040}));
    EXPECT_TRUE(isVisible(frame));
    EXPECT_EQ(calls("setBnr").back(), (Args{"b2", ""}));
    // The stored library was empty and so was the packet's: nothing written.
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "<none>", 100, resourceIni()), "<none>");
}

TEST_F(Tacklet, ReadViewerIsSharedByTwoReads)
{
    startConnected();
    world.definePageFunction(view(), "getPacket", [](const Args& args) {
        return sim::World::PageValue::Text(args[0] == "9" ? "" : packetText(PKT_MSG, {{"P-TIT", "row " + args[0]}}));
    });
    jscommand(view(), {"2", "8"});
    jscommand(view(), {"3", "8"});
    EXPECT_EQ(serials(), (std::vector<int>{kReadViewerSerial}));
    EXPECT_EQ(calls("getPacket"), (std::vector<Args>{{"2"}, {"3"}}));
    // An empty row opens nothing.
    jscommand(mainFrame().NoteWindows()[0]->BrowserHandle(), {std::to_string(kReadViewerSerial), "6"});
    jscommand(view(), {"9", "8"});
    EXPECT_TRUE(serials().empty());
}

TEST_F(Tacklet, OpenPacketRaisesAnOpenWindowWithoutNewContent)
{
    startConnected();
    const std::string calendar = packetText(PKT_MSG, {{"IDX", "40001"}, {"P-TIT", "cal"}});
    jscommand(view(), {calendar, "9"});
    ASSERT_EQ(serials(), (std::vector<int>{40001}));
    const Handle window = mainFrame().NoteWindows()[0]->handle();
    const Handle browser = mainFrame().NoteWindows()[0]->BrowserHandle();
    world.advance(200);
    const std::size_t loads = world.navigations(browser).size();
    const Rect place = windowRect(window);
    receive(packetText(PKT_MSG, {{"P-TIT", "other"}}));
    world.advance(200);
    ASSERT_NE(zOrder().front(), window);

    jscommand(view(), {packetText(PKT_MSG, {{"IDX", "40001"}, {"P-TIT", "new"}}), "9"});
    world.advance(200);
    EXPECT_EQ(serials(), (std::vector<int>{40001, 0}));
    EXPECT_EQ(zOrder().front(), window);
    EXPECT_TRUE(isVisible(window));
    EXPECT_EQ(windowRect(window), place);
    EXPECT_EQ(world.navigations(browser).size(), loads);
}

TEST_F(Tacklet, ShowMainSetsTheViewAndShowsTheFrameInTheCorner)
{
    startConnected();
    receive(packetText(PKT_VER, {{"VER", "2.0"}, {"WW", "400"}, {"HH", "300"}}));
    const Handle other = world.placeTaskbar(kTaskbar);
    ASSERT_TRUE(setForegroundWindow(other));
    // Hidden: shown in the corner without being activated.
    jscommand(view(), {"4", "7"});
    EXPECT_EQ(calls("setView").back(), (Args{"4"}));
    EXPECT_TRUE(isVisible(frame));
    EXPECT_EQ(windowRect(frame), (Rect{1520, 740, 1920, 1040}));
    EXPECT_EQ(zOrder().front(), frame);
    EXPECT_NE(foregroundWindow(), frame);
    // Visible, moved away by the user: back to the corner and activated.
    moveWindow(frame, {10, 10, 410, 310});
    jscommand(view(), {"2", "7"});
    EXPECT_EQ(windowRect(frame), (Rect{1520, 740, 1920, 1040}));
    EXPECT_EQ(foregroundWindow(), frame);
    // The focus goes on to the list page's view.
    setFocus(frame);
    EXPECT_EQ(focusWindow(), childById(frame, AFX_IDW_PANE_FIRST));
    // Page numbers change nothing.
    const std::size_t pageCalls = world.pageCalls().size();
    jscommand(view(), {"3", "5"});
    EXPECT_EQ(world.pageCalls().size(), pageCalls);
    EXPECT_EQ(windowRect(frame), (Rect{1520, 740, 1920, 1040}));
}

TEST_F(Tacklet, ExitAnsweredNoChangesNothingAndYesEndsTheProgram)
{
    startConnected();
    world.answerMessageBoxes({IDNO});
    chooseFromTray(ID_EXIT);
    ASSERT_EQ(world.messageBoxes().size(), 1u);
    EXPECT_EQ(world.messageBoxes()[0].text, "Tacklet를 종료 하시겠습니까?");
    EXPECT_EQ(world.messageBoxes()[0].buttons, Buttons::YesNo);
    EXPECT_TRUE(isWindow(frame));
    EXPECT_TRUE(world.trayIcon().has_value());
    EXPECT_TRUE(mainFrame().IsConnected());
    EXPECT_TRUE(hasTimer(frame, TIMER_KEEPALIVE) && hasTimer(frame, TIMER_RECONNECT) && hasTimer(frame, TIMER_DISPATCH));

    world.answerMessageBoxes({IDYES});
    world.chooseMenuItems({ID_EXIT});
    ASSERT_TRUE(world.clickTray(WM_RBUTTONUP));
    // The loop ends by itself once the frame is gone.
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(isWindow(frame));
    EXPECT_FALSE(world.trayIcon().has_value());
    EXPECT_TRUE(server.waitForPeerClose(kWait));
}

TEST_F(Tacklet, AlarmSwitchedOffSurvivesARestart)
{
    start();
    chooseFromTray(ID_ALARM);
    ASSERT_EQ(world.menus().size(), 1u);
    const auto checked = [](const Menu& menu) {
        for (const auto& item : menu.items)
            if (item.id == ID_ALARM)
                return item.checked;
        ADD_FAILURE() << "no alarm item";
        return false;
    };
    EXPECT_TRUE(checked(world.menus()[0].menu));
    EXPECT_EQ(stored("ALARM"), "0");

    restart();
    chooseFromTray(ID_ALARM);
    EXPECT_FALSE(checked(world.menus()[1].menu));
    EXPECT_EQ(stored("ALARM"), "1");
    ASSERT_TRUE(world.clickTray(WM_RBUTTONUP));
    world.runUntilIdle();
    EXPECT_TRUE(checked(world.menus()[2].menu));
}

TEST_F(Tacklet, CloseAllNotes)
{
    startConnected();
    chooseFromTray(ID_CLOSE_ALL_NOTES);   // with none open
    EXPECT_TRUE(serials().empty());
    receive(packetText(PKT_MSG, {{"P-TIT", "a"}}));
    receive(packetText(PKT_MSG, {{"P-TIT", "b"}}));
    const Handle first = mainFrame().NoteWindows()[0]->handle();
    const Handle second = mainFrame().NoteWindows()[1]->handle();
    chooseFromTray(ID_CLOSE_ALL_NOTES);
    EXPECT_TRUE(serials().empty());
    EXPECT_FALSE(isWindow(first) || isWindow(second));
    // Serials go on counting.
    receive(packetText(PKT_MSG, {{"P-TIT", "c"}}));
    EXPECT_EQ(serials(), (std::vector<int>{2}));
}

TEST_F(Tacklet, TrayClicksCloseAboutAndMinimumSize)
{
    start();
    ASSERT_TRUE(world.clickTray(WM_LBUTTONUP));
    world.runUntilIdle();
    EXPECT_TRUE(isVisible(frame));
    post(frame, WM_CLOSE);
    world.runUntilIdle();
    EXPECT_TRUE(isWindow(frame));
    EXPECT_FALSE(isVisible(frame));
    ASSERT_TRUE(world.clickTray(WM_LBUTTONDBLCLK));
    world.runUntilIdle();
    EXPECT_TRUE(isVisible(frame));
    EXPECT_EQ(foregroundWindow(), frame);

    chooseFromTray(ID_APP_ABOUT);
    ASSERT_EQ(world.dialogs().size(), 1u);
    EXPECT_EQ(world.dialogs()[0].dialog.caption, "Tacklet 정보");

    moveWindow(frame, {1000, 500, 1500, 900});
    struct Case {
        Rect proposed;
        Rect expected;
    };
    for (const Case& c : {Case{{0, 0, 429, 400}, {1000, 500, 1500, 900}}, Case{{0, 0, 600, 269}, {1000, 500, 1500, 900}},
                          Case{{0, 0, 430, 270}, {0, 0, 430, 270}}}) {
        Rect rect = c.proposed;
        send(frame, WM_SIZING, 0, reinterpret_cast<LParam>(&rect));
        EXPECT_EQ(rect, c.expected);
    }
}

} // namespace
