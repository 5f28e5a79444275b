// The tray icon: added without a picture, given the program icon, removed by its owner.

#include "tray_icon.h"

#include "platform/sim/world.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const unsigned char kIcon[] = {1, 2, 3};
const PlatformResource kEntries[] = {{"ICON", 128, kIcon, 3}};
const PlatformResourceTable kTable{kResourceTableVersion, 1, kEntries};

TEST(TrayIcon, AddThenPictureThenRemove)
{
    sim::World::Options options;
    options.programResources = &kTable;
    sim::World world(options);
    CTrayIcon icon;
    ASSERT_TRUE(icon.Create(0x1234, 1025, std::string(200, 'x')));
    ASSERT_TRUE(world.trayIcon());
    EXPECT_TRUE(world.trayIcon()->icon.empty());
    EXPECT_EQ(world.trayIcon()->tip.size(), 127u);
    EXPECT_EQ(world.trayIcon()->flags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(world.trayIcon()->callbackMessage, 1025u);

    icon.SetProgramIcon();
    EXPECT_EQ(world.trayIcon()->icon, (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(world.trayRequests().back().data.flags, NIF_ICON);

    icon.Remove();
    EXPECT_FALSE(world.trayIcon());
    ASSERT_EQ(world.trayRequests().size(), 3u);
    // One icon identifier for every request of the program.
    EXPECT_EQ(world.trayRequests()[0].data.id, world.trayRequests()[2].data.id);
    EXPECT_EQ(world.trayRequests()[2].data.flags, 0u);
}

TEST(TrayIcon, CreateReportsTheDesktopsRefusal)
{
    sim::World world;
    world.failTray(true);
    CTrayIcon icon;
    EXPECT_FALSE(icon.Create(1, 1025, "Tacklet V2.0"));
}

} // namespace
