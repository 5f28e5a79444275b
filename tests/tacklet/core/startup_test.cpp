// Tacklet start-up: one copy per user, the start-up checks with their messages, the settings
// files, the hidden main window.

#include "tacklet_world.h"
#include "main_frame.h"
#include "orvane_app.h"
#include "resources.h"

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/sim/world.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/window.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Startup : ::testing::Test {
    sim::World world{TackletWorld()};
    std::string ini(const char* name) { return world.programFolder() + "/" + name; }
};

TEST_F(Startup, FreshInstallCreatesEmptySettingsAndAHiddenFrameAtTheCorner)
{
    world.placeTaskbar({0, 1040, 1920, 1080});
    COrvaneApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.MainSettingsPath(), ini("Orvane.ini"));
    EXPECT_EQ(readWholeFile(ini("Orvane.ini")), "");
    EXPECT_EQ(readWholeFile(ini("Tacklet.ini")), "");
    EXPECT_EQ(app.m_alarm, 1);
    EXPECT_TRUE(world.messageBoxes().empty());

    const Handle frame = findWindow("TackletMainFrame", "veruvev");
    ASSERT_NE(frame, 0u);
    EXPECT_EQ(frame, app.MainFrame()->handle());
    EXPECT_FALSE(isVisible(frame));
    EXPECT_EQ(windowRect(frame), (Rect{1820, 940, 1920, 1040}));
    EXPECT_EQ(windowStyle(frame) & ~WS_VISIBLE, WS_POPUP | WS_SYSMENU);
    ASSERT_TRUE(world.trayIcon());
    EXPECT_EQ(world.trayIcon()->tip, "Tacklet V2.0");
    EXPECT_EQ(world.trayIcon()->callbackMessage, 1025u);
    EXPECT_FALSE(world.trayIcon()->icon.empty());
}

TEST_F(Startup, ExistingSettingsAreReadAndLeftUntouched)
{
    const std::string orvane = "[Orvane]\r\nALARM=0\r\nIP=10.1.2.3\r\n; mine\r\n";
    ASSERT_TRUE(writeWholeFile(ini("Orvane.ini"), orvane));
    ASSERT_TRUE(writeWholeFile(ini("Tacklet.ini"), "[TACKLET]\nRES_DLL=skin.so\n"));
    COrvaneApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.m_alarm, 0);
    EXPECT_EQ(readWholeFile(ini("Orvane.ini")), orvane);
    EXPECT_EQ(readWholeFile(ini("Tacklet.ini")), "[TACKLET]\nRES_DLL=skin.so\n");
}

TEST_F(Startup, ASecondCopyEndsSilentlyAndLeavesTheFirstAlone)
{
    COrvaneApp first;
    ASSERT_TRUE(first.InitInstance());
    const Handle frame = first.MainFrame()->handle();
    const auto trayRequests = world.trayRequests().size();

    COrvaneApp second;
    EXPECT_FALSE(second.InitInstance());
    EXPECT_TRUE(world.messageBoxes().empty());
    EXPECT_EQ(second.MainFrame(), nullptr);
    EXPECT_TRUE(isWindow(frame));
    EXPECT_EQ(world.trayRequests().size(), trayRequests);
}

TEST(StartupFailure, EachFailedServiceShowsItsMessage)
{
    struct Case {
        void (sim::World::*fail)();
        const char* text;
    } cases[] = {
        {&sim::World::failSocketSupport, "Windows 소켓을 초기화하지 못했습니다."},
        {&sim::World::failSockets, "소켓 버전이 낮습니다.1"},
        {&sim::World::failComponentRuntime,
         "OLE를 초기화할 수 없습니다. OLE 라이브러리 버전이 올바른지 확인하십시오."},
    };
    for (const Case& c : cases) {
        sim::World w{TackletWorld()};
        (w.*c.fail)();
        COrvaneApp app;
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(w.messageBoxes().size(), 1u) << c.text;
        EXPECT_EQ(w.messageBoxes()[0].text, c.text);
        EXPECT_EQ(w.messageBoxes()[0].caption, "Tacklet");
        EXPECT_EQ(w.messageBoxes()[0].buttons, Buttons::Ok);
        EXPECT_FALSE(fileExists(w.programFolder() + "/Orvane.ini"));
        EXPECT_EQ(findWindow("TackletMainFrame", "veruvev"), 0u);
    }
}

TEST_F(Startup, NoTrayIconMeansNoMainFrameAndNoMessage)
{
    world.failTray(true);
    COrvaneApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(world.messageBoxes().empty());
    EXPECT_EQ(findWindow("TackletMainFrame", "veruvev"), 0u);
}

TEST_F(Startup, ClosingTheMainWindowOnlyHidesItAndExitEndsTheComponentRuntime)
{
    COrvaneApp app;
    ASSERT_TRUE(app.InitInstance());
    const Handle frame = app.MainFrame()->handle();
    showWindow(frame, Show::Show);
    post(frame, WM_CLOSE);
    world.runUntilIdle();
    EXPECT_TRUE(isWindow(frame));
    EXPECT_FALSE(isVisible(frame));
    EXPECT_TRUE(world.componentRuntimeActive());
    app.ExitInstance();
    EXPECT_FALSE(world.componentRuntimeActive());
    EXPECT_FALSE(isWindow(frame));
}

} // namespace
