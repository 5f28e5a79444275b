// Whole update runs against a real web server: the instruction text, both passes, and what a
// failure leaves behind.

#include "update_actions.h"
#include "updater_fixture.h"
#include "updater_wnd.h"
#include "zip_builder.h"

#include "platform/profile.h"
#include "platform/resources.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>
#include <set>

using namespace platform;
using Start = sim::World::Start;

namespace {

TEST(CutItems, TakesEachBlockFromItsOpeningToTheNextClosing)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> items;
    } cases[] = {
        {"a body that begins with the block", "<PKT><A>1</A></PKT>", {"<PKT><A>1</A></PKT>"}},
        {"text around and between blocks is ignored", "head<PKT>a</PKT>\r\nbetween<PKT>b</PKT>tail",
         {"<PKT>a</PKT>", "<PKT>b</PKT>"}},
        {"a block without its closing gives nothing", "<PKT>a</PKT><PKT><TYPE>EXEC</TYPE>", {"<PKT>a</PKT>"}},
        {"only an unclosed block", "<PKT>never closed", {}},
        {"a closing before any opening", "</PKT><PKT>x</PKT>", {"<PKT>x</PKT>"}},
        {"an opening inside a block starts another item", "<PKT>outer<PKT>inner</PKT>",
         {"<PKT>outer<PKT>inner</PKT>", "<PKT>inner</PKT>"}},
        {"no blocks", "TYPE=FILE", {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const Packet& item : CUpdaterWnd::CutItems(c.text))
            texts.push_back(item.GetText());
        EXPECT_EQ(texts, c.items) << c.name;
    }
}

TEST(CutItems, NestedOpeningsCannotGrowTheItemsWithoutBound)
{
    // Every "<PKT>" starts an item that runs to the one "</PKT>": a few hundred kilobytes of text
    // would otherwise cut into tens of gigabytes of overlapping items.
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "<PKT>";
    text += "</PKT>";
    std::size_t total = 0;
    const auto items = CUpdaterWnd::CutItems(text);
    for (const Packet& item : items)
        total += item.GetText().size();
    EXPECT_FALSE(items.empty());
    EXPECT_LE(total, std::size_t{8} << 20);
}

struct UpdateRun : UpdaterTest {
    CUpdaterWnd updater{app};

    void instructions(const std::string& text) { web.serve("/tackletSetup.aspx", text, "text/plain; charset=utf-8"); }
    void run() { updater.Update(url("/tackletSetup.aspx")); }

    // An archive holding one file with `content`, served at `path`.
    void serveArchive(const std::string& path, const std::vector<ZipEntry>& entries)
    {
        const std::string file = world.root() + "/served.zip";
        ASSERT_TRUE(WriteZip(file, entries));
        web.serve(path, *readWholeFile(file), "application/zip");
        std::filesystem::remove(file);
    }

    static std::string signedCrc(const std::string& data)
    {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        return std::to_string(static_cast<std::int32_t>(crc));
    }
};

TEST_F(UpdateRun, GetUpdateTargetNamesFilesThatAreMissingOrDiffer)
{
    ASSERT_TRUE(writeWholeFile(inProgram("abc.dll"), "abc"));           // CRC-32 352441C2
    ASSERT_TRUE(writeWholeFile(inProgram("a.dll"), "a"));               // CRC-32 E8B7BE43
    ASSERT_TRUE(writeWholeFile(inProgram("ones.dll"), "\xff\xff\xff\xff"));   // CRC-32 FFFFFFFF
    MakeDirs(inProgram("folder.dll"));                                   // exists, cannot be read
    const std::string windows = world.root() + "/windows";

    struct Case {
        const char* type;
        const char* dir;
        std::string file;
        const char* crc;
        std::string expected;
    } cases[] = {
        {"FILE", "APPPATH", "missing.dll", "", inProgram("missing.dll")},
        {"FILE", "APPPATH", "sub\\deeper\\new.dll", "1", inProgram("sub/deeper/new.dll")},
        {"FILE", "APPPATH", "abc.dll", "891568578", ""},
        {"FILE", "APPPATH", "abc.dll", "891568579", inProgram("abc.dll")},
        {"FILE", "APPPATH", "a.dll", "-390611389", ""},
        {"FILE", "APPPATH", "a.dll", "3904355907", inProgram("a.dll")},   // unsigned: read as the signed limit
        {"FILE", "APPPATH", "ones.dll", "4294967295", inProgram("ones.dll")},
        {"FILE", "APPPATH", "ones.dll", "-1", ""},
        {"FILE", "APPPATH", "abc.dll", "", ""},   // existence only
        {"FILE", "APPPATH", "folder.dll", "5", ""},
        {"FILE", "TEMP", "x.dll", "", windows + "/temp/x.dll"},
        {"FILE", "WINDOWS", "x.dll", "", windows + "/x.dll"},
        {"FILE", "DESKTOP", "x.dll", "", platform::desktopFolder() + "/x.dll"},
        {"FILE", "SYSTEM", "x.dll", "", platform::systemFolder() + "/x.dll"},
        {"FILE", "temp", "x.dll", "", ""},
        {"FILE", "", "x.dll", "", ""},
        {"EXEC", "APPPATH", "missing.dll", "", ""},
        {"file", "APPPATH", "missing.dll", "", ""},
        {"FILE", "APPPATH", "..\\missing.dll", "", ""},
        {"FILE", "APPPATH", world.root() + "/missing.dll", "", ""},
    };
    for (const Case& c : cases) {
        const Packet item(Item({{"TYPE", c.type}, {"DIR", c.dir}, {"FILE", c.file}, {"CRC", c.crc}}));
        EXPECT_EQ(updater.GetUpdateTarget(item), c.expected) << c.type << " " << c.dir << " " << c.file << " " << c.crc;
    }
}

TEST_F(UpdateRun, AMissingFileIsFetchedUnpackedRegisteredAndOnlyTheFileStays)
{
    const std::string content = "component bytes";
    serveArchive("/files/comp.zip", {{"comp.dll", content}});
    instructions("version list\r\n" +
                 Item({{"TYPE", "FILE"}, {"DIR", "APPPATH"}, {"FILE", "lib\\comp.dll"}, {"CRC", signedCrc(content)},
                       {"URL", url("/files/comp.zip")}, {"REG", "Y"}}) +
                 "\r\n");
    run();
    EXPECT_EQ(updater.m_strUrl, url("/tackletSetup.aspx"));

    const std::string target = inProgram("lib/comp.dll");
    EXPECT_EQ(readWholeFile(target), content);
    EXPECT_FALSE(fileExists(target + ".zip"));
    ASSERT_EQ(world.starts().size(), 1u);
    EXPECT_EQ(world.starts()[0].commandLine, platform::systemFolder() + "/regsvr32 -s " + target);
    EXPECT_FALSE(world.starts()[0].shown);
    const auto requests = web.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/tackletSetup.aspx");
    EXPECT_EQ(requests[0].userAgent, "TACKLET SESSION");
    EXPECT_EQ(requests[1].path, "/files/comp.zip");
    EXPECT_EQ(requests[1].userAgent, "TESSARY SESSION");

    // The file matches now: the next run only reads the instructions.
    run();
    EXPECT_EQ(requestsFor("/files/comp.zip"), 1u);
    EXPECT_EQ(world.starts().size(), 1u);
}

TEST_F(UpdateRun, AFailedDownloadStillRegistersAndRemovesItsEmptyArchive)
{
    web.setStatus("/files/gone.zip", 404);
    instructions(Item({{"TYPE", "FILE"}, {"DIR", "SYSTEM"}, {"FILE", "gone.dll"}, {"URL", url("/files/gone.zip")},
                       {"REG", "Y"}}));
    run();
    const std::string target = platform::systemFolder() + "/gone.dll";
    EXPECT_EQ(requestsFor("/files/gone.zip"), 1u);
    EXPECT_FALSE(fileExists(target));
    EXPECT_FALSE(fileExists(target + ".zip"));
    ASSERT_EQ(world.starts().size(), 1u);
    EXPECT_EQ(world.starts()[0].commandLine, platform::systemFolder() + "/regsvr32 -s " + target);
}

TEST_F(UpdateRun, AnArchiveThatCannotBeCreatedLeavesTheItemAlone)
{
    serveArchive("/files/comp.zip", {{"comp.dll", "new"}});
    MakeDirs(inProgram("comp.dll.zip"));   // the archive's name is taken by a folder
    instructions(Item({{"TYPE", "FILE"}, {"DIR", "APPPATH"}, {"FILE", "comp.dll"}, {"URL", url("/files/comp.zip")},
                       {"REG", "Y"}}));
    run();
    EXPECT_EQ(requestsFor("/files/comp.zip"), 0u);
    EXPECT_FALSE(fileExists(inProgram("comp.dll")));
    EXPECT_TRUE(isDirectory(inProgram("comp.dll.zip")));
    EXPECT_TRUE(world.starts().empty());
}

TEST_F(UpdateRun, TwoItemsForOneFileAreBothCarriedOut)
{
    serveArchive("/files/old.zip", {{"x.dll", "old"}});
    serveArchive("/files/new.zip", {{"x.dll", "new"}});
    const auto item = [&](const char* archive) {
        return Item({{"TYPE", "FILE"}, {"DIR", "APPPATH"}, {"FILE", "x.dll"}, {"CRC", signedCrc("new")},
                     {"URL", url(archive)}});
    };
    instructions(item("/files/old.zip") + item("/files/new.zip"));
    run();
    EXPECT_EQ(requestsFor("/files/old.zip"), 1u);
    EXPECT_EQ(requestsFor("/files/new.zip"), 1u);
    EXPECT_EQ(readWholeFile(inProgram("x.dll")), "new");
}

TEST_F(UpdateRun, TheSecondPassActsOnEveryItemOnEveryRun)
{
    world.setOsMajorVersion(5);
    ASSERT_TRUE(writeWholeFile(inProgram("tool.sh"), "#!/bin/sh\n"));
    instructions(Item({{"TYPE", "FILE"}, {"DIR", "temp"}, {"FILE", "tool.sh"}, {"URL", url("/files/tool.zip")}}) +
                 Item({{"TYPE", "EXEC"}, {"DIR", "temp"}, {"FILE", "tool.sh"}, {"PARAMS", " --first"}}) +
                 Item({{"TYPE", "RESOURCE"}, {"DIR", "APPPATH"}, {"FILE", "Skin.so"}}) +
                 Item({{"TYPE", "EXEC"}, {"DIR", "APPPATH"}, {"FILE", "tool.sh"}, {"PARAMS", " --second"}}));
    run();
    run();
    EXPECT_EQ(requestsFor("/files/tool.zip"), 0u);
    std::vector<std::string> commands;
    for (const Start& s : world.starts())
        commands.push_back(s.commandLine);
    const std::string tool = inProgram("tool.sh");
    EXPECT_EQ(commands, (std::vector<std::string>{tool + " --first", tool + " --second", tool + " --first",
                                                   tool + " --second"}));
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "", 260, app.ResourceSettingsPath()), "Skin.so");
}

TEST_F(UpdateRun, NoInstructionsNoRun)
{
    ASSERT_TRUE(writeWholeFile(inProgram("tool.sh"), "#!/bin/sh\n"));
    const std::string exec = Item({{"TYPE", "EXEC"}, {"DIR", "APPPATH"}, {"FILE", "tool.sh"}});
    for (const int status : {404, 500, 302}) {
        web.serve("/tackletSetup.aspx", exec, "text/plain", status);
        run();
    }
    instructions("");
    run();
    instructions("TYPE=EXEC DIR=APPPATH FILE=tool.sh");
    run();
    updater.Update("http://127.0.0.1:1/tackletSetup.aspx");
    EXPECT_TRUE(world.starts().empty());
    EXPECT_EQ(requestsFor("/tackletSetup.aspx"), 5u);
}

TEST_F(UpdateRun, FetchTextGivesTheDecodedBodyOfAnAnswer200)
{
    web.serve("/t", "<PKT>\xea\xb0\x80 \xff</PKT>");
    web.serve("/err", "error page", "text/html", 500);
    EXPECT_EQ(updater.FetchText(url("/t")), "<PKT>가 \xef\xbf\xbd</PKT>");
    EXPECT_EQ(updater.FetchText(url("/err")), "");
    EXPECT_EQ(updater.FetchText("http://127.0.0.1:1/t"), "");
    EXPECT_EQ(updater.FetchText("not an address"), "");
    // An answer far larger than any instruction list is refused rather than held in memory.
    web.serve("/huge", std::string(2 << 20, 'x'));
    EXPECT_EQ(updater.FetchText(url("/huge")), "");
}

TEST_F(UpdateRun, NamesThatClimbOutAreSkippedInBothPasses)
{
    serveArchive("/files/evil.zip", {{"evil", "#!/bin/sh\n"}});
    std::filesystem::create_directories(world.root() + "/outside");
    ASSERT_TRUE(writeWholeFile(world.root() + "/outside/run.sh", "#!/bin/sh\n"));
    std::filesystem::copy_file(TEST_RESOURCE_LIBRARY, world.root() + "/outside/TestSkin.so");
    ASSERT_TRUE(writeWholeFile(inProgram("ok.sh"), "#!/bin/sh\n"));
    const std::string evil = url("/files/evil.zip");
    const std::string outside = world.root() + "/outside";
    std::string text;
    for (const std::string& file : {std::string("..\\..\\evil.dll"), std::string("..\\outside\\new.dll"),
                                    outside + "/new.dll", std::string("sub/../../outside/new.dll"),
                                    std::string("..\\outside\0x", 12)}) {
        text += Item({{"TYPE", "FILE"}, {"DIR", "APPPATH"}, {"FILE", file}, {"URL", evil}, {"REG", "Y"}});
        text += Item({{"TYPE", "FILE"}, {"DIR", "TEMP"}, {"FILE", file}, {"URL", evil}, {"REG", "Y"}});
    }
    for (const std::string& file : {std::string("..\\outside\\run.sh"), outside + "/run.sh"})
        text += Item({{"TYPE", "EXEC"}, {"DIR", "APPPATH"}, {"FILE", file}, {"PARAMS", " -x"}});
    for (const std::string& file : {std::string("../outside/TestSkin.so"), outside + "/TestSkin.so"})
        text += Item({{"TYPE", "RESOURCE"}, {"DIR", "APPPATH"}, {"FILE", file}});
    // A sound item in the same text is still carried out.
    text += Item({{"TYPE", "EXEC"}, {"DIR", "APPPATH"}, {"FILE", "ok.sh"}});
    instructions(text);
    run();

    EXPECT_EQ(requestsFor("/files/evil.zip"), 0u);
    ASSERT_EQ(world.starts().size(), 1u);
    EXPECT_EQ(world.starts()[0].commandLine, inProgram("ok.sh"));
    EXPECT_EQ(readWholeFile(app.ResourceSettingsPath()), "");
    EXPECT_EQ(&currentResourceModule(), &programModule());
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(outside))
        left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"run.sh", "TestSkin.so"}));
    EXPECT_FALSE(fileExists(world.root() + "/evil.dll"));
}

// Random instruction texts made of real and broken pieces, with corrupt archives behind their
// addresses: nothing crashes, and nothing is written or started outside the keyword folders.
TEST_F(UpdateRun, GarbageInstructionsStayInsideTheirFolders)
{
    const std::string outside = world.root() + "/outside";
    std::filesystem::create_directories(outside);
    const std::string archive = world.root() + "/good.zip";
    ASSERT_TRUE(WriteZip(archive, {{"a", "first"}, {"d/", "", false, 0x10}, {"b", "second", false, 0x01}}));
    const std::string good = *readWholeFile(archive);
    std::filesystem::remove(archive);

    // Each field with sound and hostile values, the sound ones more often; an item takes most of
    // the fields, in any order.
    const std::vector<std::vector<std::string>> fields = {
        {"<TYPE>FILE</TYPE>", "<TYPE>FILE</TYPE>", "<TYPE>FILE</TYPE>", "<TYPE>EXEC</TYPE>", "<TYPE>RESOURCE</TYPE>", "<TYPE>", "</TYPE>"},
        {"<DIR>APPPATH</DIR>", "<DIR>APPPATH</DIR>", "<DIR>TEMP</DIR>", "<DIR>WINDOWS</DIR>", "<DIR>DESKTOP</DIR>", "<DIR>SYSTEM</DIR>",
         "<DIR>temp</DIR>"},
        {"<FILE>fz.dll</FILE>", "<FILE>fz.dll</FILE>", "<FILE>sub\\fz.dll</FILE>", "<FILE>sub\\fz.dll</FILE>", "<FILE>..\\fz.dll</FILE>", "<FILE>..</FILE>",
         "<FILE>sub/../../fz.dll</FILE>", "<FILE>" + outside + "/fz.dll</FILE>", "<FILE></FILE>", "<FILE>",
         "</FILE>"},
        {"<CRC>-1</CRC>", "<CRC>123</CRC>", "<CRC>4294967295</CRC>", "<CRC></CRC>", "<CRC>"},
        {"<URL>" + url("/z.zip") + "</URL>", "<URL>" + url("/z.zip") + "</URL>", "<URL>" + url("/z.zip") + "</URL>",
         "<URL>http://127.0.0.1:1/x</URL>", "<URL>garbage</URL>",
         "<URL>" + url("/missing.zip") + "</URL>"},
        {"<REG>Y</REG>", "<REG>N</REG>"},
        {"<PARAMS> -q</PARAMS>", "<PARAMS>-q</PARAMS>"},
    };
    std::mt19937 random(4711);
    const auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int round = 0; round < 300; ++round) {
        std::string zip = good;
        for (std::size_t i = pick(4); i > 0; --i)
            zip[pick(zip.size())] = static_cast<char>(random());
        web.serve("/z.zip", zip);

        std::string text;
        for (std::size_t item = pick(6); item > 0; --item) {
            text += pick(10) == 0 ? "<PKT" : "<PKT>";
            std::vector<std::size_t> order(fields.size());
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin(), order.end(), random);
            for (const std::size_t field : order) {
                if (pick(8) == 0)
                    continue;
                const auto& values = fields[field];
                std::string value = values[pick(values.size())];
                if (pick(12) == 0)
                    value.erase(pick(value.size()), 1);
                if (pick(12) == 0)
                    value.insert(pick(value.size()), 1, static_cast<char>(random()));
                text += value;
            }
            text += pick(10) == 0 ? "" : "</PKT>";
            if (pick(3) == 0)
                text += std::string(pick(5), static_cast<char>(random()));
        }
        instructions(text);
        run();
    }

    EXPECT_GT(requestsFor("/z.zip"), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(outside));
    // A climb from a keyword folder would land beside the folders.
    std::set<std::string> top;
    for (const auto& entry : std::filesystem::directory_iterator(world.root()))
        top.insert(entry.path().filename());
    EXPECT_EQ(top, (std::set<std::string>{"desktop", "outside", "program", "run", "windows"}));
    // Archives never stay behind.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(world.root()))
        EXPECT_NE(entry.path().extension(), ".zip") << entry.path();
    for (const Start& s : world.starts())
        EXPECT_EQ(s.commandLine.find(".."), std::string::npos) << s.commandLine;
}

} // namespace
