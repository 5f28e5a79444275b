// Menu and dialog resources, and the modal menu's command reaching its owner.

#include "platform/dialog.h"
#include "platform/loop.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/sim/world.h"
#include "platform/window.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr char kMenu[] = "# tray\nPOPUP TRAY\nITEM 32777 모든쪽지닫기\nITEM 32779 쪽지도착시알람\nSEPARATOR\nITEM 32780 끝내기\nEND\n";
constexpr char kDialog[] = "CAPTION Tacklet 정보\r\nICON 128\r\nTEXT Tacklet, 버전 2.0\r\nBUTTON 1 확인\r\n";
const PlatformResource kEntries[] = {
    {"MENU", 314, reinterpret_cast<const unsigned char*>(kMenu), sizeof kMenu - 1},
    {"DIALOG", 100, reinterpret_cast<const unsigned char*>(kDialog), sizeof kDialog - 1},
};
const PlatformResourceTable kTable{kResourceTableVersion, 2, kEntries};

TEST(Menu, ParsesItemsSeparatorsAndRejectsBrokenResources)
{
    const auto menu = parseMenu(kMenu);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->name, "TRAY");
    ASSERT_EQ(menu->items.size(), 4u);
    EXPECT_EQ(menu->items[1].id, 32779u);
    EXPECT_EQ(menu->items[1].caption, "쪽지도착시알람");
    EXPECT_TRUE(menu->items[2].separator);
    for (const char* broken : {"", "POPUP A\nITEM 1 x\n", "POPUP A\nITEM x y\nEND\n", "ITEM 1 x\nEND\n",
                               "POPUP A\nITEM 70000 big\nEND\n", "POPUP A\nWHAT\nEND\n"})
        EXPECT_FALSE(parseMenu(broken)) << broken;
}

class Owner : public Window {
public:
    std::vector<WParam> commands;
    LResult onMessage(std::uint32_t m, WParam w, LParam l) override
    {
        if (m == WM_COMMAND)
            commands.push_back(w);
        return defaultHandling(m, w, l);
    }
    ~Owner() override
    {
        if (handle())
            destroyWindow(handle());
    }
};

TEST(Menu, TrackingPostsTheChosenCommandAfterTheMenuCloses)
{
    sim::World::Options options;
    options.programResources = &kTable;
    sim::World world(options);
    Owner owner;
    CreateParams p;
    p.className = "Owner";
    p.style = WS_POPUP;
    ASSERT_TRUE(owner.create(p));

    auto menu = loadMenu(314);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(checkMenuItem(*menu, 32779, true));
    EXPECT_FALSE(checkMenuItem(*menu, 1, true));
    world.chooseMenuItems({32780});
    EXPECT_TRUE(trackPopupMenu(*menu, {900, 1000}, owner.handle()));
    EXPECT_TRUE(owner.commands.empty());   // posted, not sent
    EXPECT_FALSE(trackPopupMenu(*menu, {900, 1000}, owner.handle()));   // dismissed
    world.runUntilIdle();
    EXPECT_EQ(owner.commands, (std::vector<WParam>{32780}));
    ASSERT_EQ(world.menus().size(), 2u);
    EXPECT_TRUE(world.menus()[0].menu.items[1].checked);
    EXPECT_EQ(world.menus()[0].at, (Point{900, 1000}));
    EXPECT_FALSE(loadMenu(999));
}

TEST(Dialog, ShowsTheResourceModally)
{
    sim::World::Options options;
    options.programResources = &kTable;
    sim::World world(options);
    EXPECT_EQ(showDialog(100, 0), 1);
    ASSERT_EQ(world.dialogs().size(), 1u);
    const DialogTemplate& d = world.dialogs()[0].dialog;
    EXPECT_EQ(d.caption, "Tacklet 정보");
    EXPECT_EQ(d.icon, 128);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"Tacklet, 버전 2.0"}));
    ASSERT_EQ(d.buttons.size(), 1u);
    EXPECT_EQ(d.buttons[0].caption, "확인");
    EXPECT_EQ(showDialog(101, 0), -1);
    EXPECT_FALSE(parseDialog("BUTTON x y\n"));
}

} // namespace
