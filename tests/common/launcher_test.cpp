// File helpers, the elevated start and the resource library switch.

#include "launcher.h"

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/sim/world.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platform;

namespace {

const PlatformResource kProgramEntries[] = {
    {"HTML", 311, reinterpret_cast<const unsigned char*>("program page"), 12},
    {"STRING", 57344, reinterpret_cast<const unsigned char*>("Tacklet"), 7},
};
const PlatformResourceTable kProgramTable{kResourceTableVersion, 2, kProgramEntries};

sim::World::Options withProgramTable()
{
    sim::World::Options o;
    o.programResources = &kProgramTable;
    o.programName = "tacklet";
    return o;
}

TEST(Crc32, OfFilesAsZipAndZlibComputeIt)
{
    sim::World world;
    const std::string abc = world.root() + "/abc", empty = world.root() + "/empty", big = world.root() + "/big";
    ASSERT_TRUE(writeWholeFile(abc, "abc"));
    ASSERT_TRUE(writeWholeFile(empty, ""));
    ASSERT_TRUE(writeWholeFile(big, std::string(10000, 'x')));   // spans several 4096-byte blocks
    std::uint32_t crc = 1;
    EXPECT_EQ(GetFileCrc32(abc, crc), 0u);
    EXPECT_EQ(crc, 0x352441C2u);
    EXPECT_EQ(GetFileCrc32(empty, crc), 0u);
    EXPECT_EQ(crc, 0u);
    EXPECT_EQ(GetFileCrc32(big, crc), 0u);
    EXPECT_EQ(crc, 0x0D55A4A3u);
    crc = 7;
    EXPECT_EQ(GetFileCrc32(world.root() + "/missing", crc), 2u);
    EXPECT_EQ(crc, 0u);
}

TEST(Folders, ComeFromTheProgramFileAndTheWindowsFolder)
{
    sim::World world(withProgramTable());
    EXPECT_EQ(GetModuleDir(), world.programFolder());
    EXPECT_EQ(GetTempDir(), GetWindowsDir() + "/temp");
    EXPECT_TRUE(FileExists(GetTempDir()));
    EXPECT_FALSE(FileExists(GetModuleDir() + "/nothing.ini"));
}

TEST(WorkArea, StopsAtTheTaskbarsTopEdge)
{
    sim::World world(sim::World::Options{{0, 0, 1920, 1080}});
    Rect area;
    GetWorkArea(area);
    EXPECT_EQ(area, (Rect{0, 0, 1920, 1080}));
    world.placeTaskbar({0, 1040, 1920, 1080});
    GetWorkArea(area);
    EXPECT_EQ(area, (Rect{0, 0, 1920, 1040}));
}

TEST(RunAsAdmin, ReportsAFailedStartWithItsCodeInLowerCaseHex)
{
    sim::World world(withProgramTable());
    EXPECT_FALSE(RunAsAdmin("/no/such/program", " -x"));
    ASSERT_EQ(world.messageBoxes().size(), 1u);
    EXPECT_EQ(world.messageBoxes()[0].text, "프로그램 실행 에러 !!.\r\n0x2");
    EXPECT_EQ(world.messageBoxes()[0].caption, "Tacklet");
    EXPECT_EQ(world.messageBoxes()[0].buttons, Buttons::Ok);

    world.failNextStart(1223);   // the user declined the elevation prompt
    EXPECT_FALSE(RunAsAdmin("/bin/sh", ""));
    EXPECT_EQ(world.messageBoxes().back().text, "프로그램 실행 에러 !!.\r\n0x4c7");

    EXPECT_TRUE(RunAsAdmin("/bin/sh", " -c true"));
    EXPECT_EQ(world.messageBoxes().size(), 2u);
    ASSERT_EQ(world.starts().size(), 3u);
    EXPECT_EQ(world.starts().back().kind, sim::World::Start::Kind::Elevated);
    EXPECT_EQ(world.starts().back().params, " -c true");
}

class MainWindow : public Window {
public:
    int resourcesChanged = 0;
    LResult onMessage(std::uint32_t message, WParam w, LParam l) override
    {
        if (message == WM_RESOURCES_CHANGED)
            ++resourcesChanged;
        return defaultHandling(message, w, l);
    }
    ~MainWindow() override
    {
        if (handle())
            destroyWindow(handle());
    }
};

TEST(LoadResourceDll, SwitchesTheCurrentModuleAndTellsTheMainWindow)
{
    sim::World world(withProgramTable());
    MainWindow main;
    CreateParams p;
    p.className = "Main";
    p.style = WS_POPUP;
    ASSERT_TRUE(main.create(p));
    ResourceLibrary library;

    // A bare name is looked for in the program's folder first.
    std::filesystem::copy_file(TEST_RESOURCE_LIBRARY, world.programFolder() + "/TestSkin.so");
    LoadResourceDll(library, main.handle(), "TestSkin.so");
    ASSERT_NE(library.module, nullptr);
    EXPECT_EQ(library.module->path(), world.programFolder() + "/TestSkin.so");
    EXPECT_EQ(currentResourceModule().find("HTML", 311), "<html><body>library page</body></html>\n");
    EXPECT_EQ(loadString(57344), "TestSkin");
    world.runUntilIdle();
    EXPECT_EQ(main.resourcesChanged, 1);

    // Empty: the program is current again, the library stays loaded.
    LoadResourceDll(library, main.handle(), "");
    EXPECT_EQ(currentResourceModule().find("HTML", 311), "program page");
    EXPECT_EQ(moduleByPath(world.programFolder() + "/TestSkin.so"), library.module);

    // A library that does not load leaves the program's resources in use.
    LoadResourceDll(library, main.handle(), world.root() + "/missing.so");
    EXPECT_EQ(library.module, nullptr);
    EXPECT_EQ(&currentResourceModule(), &programModule());
    EXPECT_EQ(moduleByPath(world.programFolder() + "/TestSkin.so"), nullptr);   // unloaded first
    world.runUntilIdle();
    EXPECT_EQ(main.resourcesChanged, 3);
}

} // namespace
