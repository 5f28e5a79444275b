// The update actions: download, unpack, register, and each item's second-pass action.

#include "update_actions.h"
#include "updater_fixture.h"
#include "zip_builder.h"

#include "platform/process.h"
#include "platform/profile.h"
#include "platform/resources.h"

#include <cstdlib>
#include <filesystem>
#include <random>

using namespace platform;
using Start = sim::World::Start;

namespace {

std::string pattern(std::size_t size)
{
    std::string data(size, '\0');
    std::mt19937 random(7);
    for (char& c : data)
        c = static_cast<char>(random() % 16);   // compressible, but not trivially
    return data;
}

// Fixes the local time zone for one test.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
    {
        if (const char* tz = std::getenv("TZ"))
            saved_ = tz;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone()
    {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> saved_;
};

struct Unzip : ::testing::Test {
    sim::World world;
    std::string archive = world.root() + "/a.zip";
    std::string target = world.root() + "/out/sub/file.dll";   // its folders do not exist yet
};

TEST_F(Unzip, WritesEveryEntryToTheOneTargetSoTheLastRemains)
{
    const std::string big = pattern(100000);   // several 16 KB blocks
    struct Case {
        const char* name;
        std::vector<ZipEntry> entries;
        std::string expected;
    } cases[] = {
        {"deflated", {{"x.dll", big}}, big},
        {"stored", {{"x.dll", big, false}}, big},
        {"empty", {{"x.dll", ""}}, ""},
        {"two files", {{"first.dll", "first"}, {"second.dll", "second", false}}, "second"},
        {"a bad entry does not stop the next",
         {ZipEntry("bad.dll", "\xff\xfe garbage that no inflater accepts").raw(0x12345678u, 64), {"good.dll", "good"}},
         "good"},
        {"a CRC mismatch is not acted on", {ZipEntry("x.dll", "kept", false).raw(0xDEADBEEFu, 4)}, "kept"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(world.root() + "/out");
        ASSERT_TRUE(WriteZip(archive, c.entries)) << c.name;
        UnzipTo(archive, target);
        EXPECT_EQ(readWholeFile(target), c.expected) << c.name;
    }
}

TEST_F(Unzip, ArchivesThatDoNotOpenWriteNothing)
{
    ASSERT_TRUE(WriteZip(archive, {{"x.dll", pattern(5000)}}));
    const std::string whole = *readWholeFile(archive);
    for (const std::string& bytes : {std::string(), std::string("PK\x03\x04 not really"), whole.substr(0, whole.size() - 30)}) {
        ASSERT_TRUE(writeWholeFile(archive, bytes));
        UnzipTo(archive, target);
        EXPECT_FALSE(fileExists(target));
    }
    UnzipTo(world.root() + "/missing.zip", target);
    EXPECT_FALSE(fileExists(target));
}

TEST_F(Unzip, ADirectoryEntryCreatesTheTargetAsAFolder)
{
    ASSERT_TRUE(WriteZip(archive, {{"folder/", "", false, 0x10}}));
    UnzipTo(archive, target);
    EXPECT_TRUE(isDirectory(target));
}

TEST_F(Unzip, ReadOnlyTakesTheWritePermissionsAwayAndTheOtherAttributesMeanNothing)
{
    struct Case {
        unsigned long attributes;
        bool readOnly;
    } cases[] = {{0x01, true}, {0x21, true}, {0x20, false}, {0x26, false}, {0x00, false}};
    for (const Case& c : cases) {
        std::filesystem::remove_all(world.root() + "/out");
        ASSERT_TRUE(WriteZip(archive, {{"x.dll", "data", true, c.attributes}}));
        UnzipTo(archive, target);
        ASSERT_EQ(readWholeFile(target), "data") << c.attributes;
        EXPECT_EQ(isReadOnly(target), c.readOnly) << c.attributes;
        const auto mode = std::filesystem::status(target).permissions();
        EXPECT_EQ((mode & std::filesystem::perms::owner_write) == std::filesystem::perms::none, c.readOnly);
    }
}

TEST_F(Unzip, AProgramMadeExecutableOnUnixStaysExecutable)
{
    struct Case {
        unsigned long versionMadeBy;
        unsigned long attributes;
        bool executable;
    } cases[] = {
        {0x031E, (0100755ul << 16) | 0x20, true},    // Unix, rwxr-xr-x
        {0x031E, (0100644ul << 16) | 0x20, false},   // Unix, rw-r--r--
        {0x0014, (0100755ul << 16) | 0x20, false},   // FAT: the high half means nothing
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(world.root() + "/out");
        ZipEntry entry{"tool", "#!/bin/sh\n", true, c.attributes};
        entry.versionMadeBy = c.versionMadeBy;
        ASSERT_TRUE(WriteZip(archive, {entry}));
        UnzipTo(archive, target);
        ASSERT_TRUE(fileExists(target));
        EXPECT_EQ(isExecutable(target), c.executable) << std::hex << c.versionMadeBy << " " << c.attributes;
    }
}

TEST_F(Unzip, TimesComeFromTheExtendedTimestampOrElseFromTheDosTimeAsLocalTime)
{
    const LocalZone seoul("KST-9");
    const std::time_t dos = 1577901846;   // 2020-01-02 03:04:06 in Seoul
    struct Case {
        const char* name;
        std::string extra;
        std::time_t modification, access;
    } cases[] = {
        {"DOS time only", "", dos, dos},
        {"modification and access", TimestampField(0x03, {1000000000, 1100000000}), 1000000000, 1100000000},
        {"access only", TimestampField(0x02, {1200000000}), dos, 1200000000},
        // The central directory's copy names more times than it carries.
        {"flags name more than the field holds", TimestampField(0x07, {1300000000}), 1300000000, dos},
        {"after another field", std::string("\x01\x00\x04\x00" "abcd", 8) + TimestampField(0x01, {1400000000}),
         1400000000, dos},
        {"a field cut short is ignored", std::string("UT\x09\x00\x01\x00", 6), dos, dos},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteZip(archive, {ZipEntry("x.dll", "t").withExtra(c.extra)})) << c.name;
        UnzipTo(archive, target);
        const auto times = fileTimes(target);
        ASSERT_TRUE(times) << c.name;
        EXPECT_EQ(times->modification, c.modification) << c.name;
        EXPECT_EQ(times->access, c.access) << c.name;
    }
}

// Corrupted copies of a good archive: whatever they hold, nothing crashes and nothing but the
// target appears.
TEST_F(Unzip, CorruptArchivesNeverWriteAnythingButTheTarget)
{
    ASSERT_TRUE(WriteZip(archive, {{"a.dll", pattern(40000)},
                                   {"dir/", "", false, 0x10},
                                   ZipEntry("b.dll", "stored entry", false, 0x01).withExtra(TimestampField(3, {1, 2}))}));
    const std::string good = *readWholeFile(archive);
    const std::string folder = world.root() + "/out";
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = good;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = static_cast<char>(random());
        if (round % 4 == 0)
            bytes.resize(random() % bytes.size());
        ASSERT_TRUE(writeWholeFile(archive, bytes));
        std::filesystem::remove_all(folder);
        UnzipTo(archive, folder + "/file.dll");
        if (std::filesystem::exists(folder)) {
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                EXPECT_EQ(entry.path().filename(), "file.dll") << "round " << round;
        }
    }
}

TEST(MakeDirs, CreatesEveryFolderAlongThePath)
{
    sim::World world;
    const std::string deep = world.root() + "/a/b/c";
    MakeDirs(deep);
    EXPECT_TRUE(isDirectory(deep));
    MakeDirs(deep + "/");   // existing folders are fine
    EXPECT_TRUE(isDirectory(deep));
    ASSERT_TRUE(writeWholeFile(world.root() + "/file", "x"));
    MakeDirs(world.root() + "/file/below");   // failures are ignored
    EXPECT_EQ(readWholeFile(world.root() + "/file"), "x");
}

TEST(SplitUrl, CutsAfterTheSchemePrefixAtTheNextSlash)
{
    struct Case {
        const char* url;
        const char* host;
        const char* path;
    } cases[] = {
        {"http://example.com/tackletSetup.aspx", "example.com", "tackletSetup.aspx"},
        {"http://127.0.0.1:8090/files/a b.zip", "127.0.0.1:8090", "files/a b.zip"},
        {"http://host", "host", ""},
        {"http://host/", "host", ""},
        {"http:/", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const UrlParts parts = SplitUrl(c.url);
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
}

TEST(ItemPath, NamesThatClimbOutOfTheirFolderAreRefused)
{
    struct Case {
        std::string file;
        std::optional<std::string> path;
    } cases[] = {
        {"a.dll", "/f/a.dll"},
        {"sub\\deep\\a.dll", "/f/sub/deep/a.dll"},
        {"..a\\b..\\...\\.\\c", "/f/..a/b../..././c"},
        {"", "/f/"},
        {"..", std::nullopt},
        {"..\\a.dll", std::nullopt},
        {"sub/../../a.dll", std::nullopt},
        {"sub\\..", std::nullopt},
        {"/etc/a.dll", std::nullopt},
        {"\\etc\\a.dll", std::nullopt},
        {std::string("..\0x", 4), std::nullopt},
        {std::string("a.dll\0/../../x", 14), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ItemPath("/f", c.file), c.path) << c.file;
}

TEST_F(UpdaterTest, DownloadCreatesItsFileWhateverTheTransferGives)
{
    const std::string body = pattern(5000);
    web.serve("/files/a.zip", body);
    web.setStatus("/files/missing.zip", 404);
    const std::string path = inProgram("new/folder/a.zip");

    EXPECT_TRUE(Download(url("/files/a.zip"), path));
    EXPECT_EQ(readWholeFile(path), body);
    ASSERT_EQ(web.requests().size(), 1u);
    EXPECT_EQ(web.requests()[0].userAgent, "TESSARY SESSION");

    // A failed transfer empties the file and still counts as success.
    EXPECT_TRUE(Download(url("/files/missing.zip"), path));
    EXPECT_EQ(readWholeFile(path), "");
    ASSERT_TRUE(writeWholeFile(path, "old"));
    EXPECT_TRUE(Download("http://127.0.0.1:1/files/a.zip", path));
    EXPECT_EQ(readWholeFile(path), "");

    // Only a file that cannot be created is a failure.
    MakeDirs(inProgram("taken.zip"));
    EXPECT_FALSE(Download(url("/files/a.zip"), inProgram("taken.zip")));
    EXPECT_EQ(web.requests().size(), 2u);
}

TEST_F(UpdaterTest, RegistrationStartsRegsvr32HiddenAndUnquoted)
{
    const std::string target = inProgram("my lib/comp.dll");
    RegisterComponent(target);
    ASSERT_EQ(world.starts().size(), 1u);
    EXPECT_EQ(world.starts()[0].kind, Start::Kind::Program);
    EXPECT_EQ(world.starts()[0].commandLine, platform::systemFolder() + "/regsvr32 -s " + target);
    EXPECT_FALSE(world.starts()[0].shown);

    // A command that does not fit the 256-byte buffer is not started.
    const std::string prefix = platform::systemFolder() + "/regsvr32 -s ";
    RegisterComponent(std::string(255 - prefix.size(), 'x'));
    EXPECT_EQ(world.starts().size(), 2u);
    RegisterComponent(std::string(256 - prefix.size(), 'x'));
    EXPECT_EQ(world.starts().size(), 2u);
    EXPECT_TRUE(world.messageBoxes().empty());
}

struct ItemAction : UpdaterTest {
    std::string program = inProgram("bin/run.sh");
    void SetUp() override
    {
        UpdaterTest::SetUp();
        MakeDirs(inProgram("bin"));
        ASSERT_TRUE(writeWholeFile(program, "#!/bin/sh\n"));
    }
    void run(const std::string& type, const std::string& dir, const std::string& file, const std::string& params)
    {
        RunItemAction(app, Packet(Item({{"TYPE", type}, {"DIR", dir}, {"FILE", file}, {"PARAMS", params}})));
    }
};

TEST_F(ItemAction, ExecStartsElevatedFromVersionSixAndPlainBefore)
{
    world.setOsMajorVersion(6);
    run("EXEC", "APPPATH", "bin\\run.sh", " -x");
    world.setOsMajorVersion(5);
    run("EXEC", "APPPATH", "bin\\run.sh", " -x");
    run("EXEC", "APPPATH", "bin\\run.sh", "-x");   // runs together with the path
    world.setOsMajorVersion(0);                     // the version cannot be told
    run("EXEC", "APPPATH", "bin\\run.sh", "");

    const auto& starts = world.starts();
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_EQ(starts[0].kind, Start::Kind::Elevated);
    EXPECT_EQ(starts[0].commandLine, program);
    EXPECT_EQ(starts[0].params, " -x");
    EXPECT_EQ(starts[1].kind, Start::Kind::Program);
    EXPECT_EQ(starts[1].commandLine, program + " -x");
    EXPECT_TRUE(starts[1].shown);
    EXPECT_EQ(starts[2].commandLine, program + "-x");
    EXPECT_EQ(starts[3].kind, Start::Kind::Program);
    EXPECT_EQ(starts[3].commandLine, program);
    EXPECT_TRUE(world.messageBoxes().empty());
}

TEST_F(ItemAction, ExecFindsItsFileInTheProgramFolderForUnknownKeywordsAndStartsNothingMissing)
{
    world.setOsMajorVersion(5);
    run("EXEC", "temp", "bin\\run.sh", "");
    run("EXEC", "", "bin\\run.sh", "");
    run("EXEC", "APPPATH", "bin\\missing.sh", "");
    run("EXEC", "TEMP", "bin\\run.sh", "");
    run("exec", "APPPATH", "bin\\run.sh", "");
    run("FILE", "APPPATH", "bin\\run.sh", "");
    ASSERT_EQ(world.starts().size(), 2u);
    EXPECT_EQ(world.starts()[0].commandLine, program);
    EXPECT_EQ(world.starts()[1].commandLine, program);

    // The older start's 512-byte buffer.
    run("EXEC", "APPPATH", "bin\\run.sh", std::string(511 - program.size(), 'p'));
    EXPECT_EQ(world.starts().size(), 3u);
    run("EXEC", "APPPATH", "bin\\run.sh", std::string(512 - program.size(), 'p'));
    EXPECT_EQ(world.starts().size(), 3u);
}

TEST_F(ItemAction, AFailedElevatedStartIsReported)
{
    world.failNextStart(1223);
    run("EXEC", "APPPATH", "bin\\run.sh", "");
    ASSERT_EQ(world.messageBoxes().size(), 1u);
    EXPECT_EQ(world.messageBoxes()[0].text, "프로그램 실행 에러 !!.\r\n0x4c7");
}

TEST_F(ItemAction, ResourceStoresTheLibraryNameWhetherOrNotItLoads)
{
    std::filesystem::copy_file(TEST_RESOURCE_LIBRARY, inProgram("TestSkin.so"));
    run("RESOURCE", "APPPATH", "TestSkin.so", "");
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "", 260, app.ResourceSettingsPath()), "TestSkin.so");
    EXPECT_EQ(currentResourceModule().path(), inProgram("TestSkin.so"));
    EXPECT_EQ(loadString(57344), "TestSkin");

    run("RESOURCE", "WHATEVER", "NoSuchSkin.so", "");
    EXPECT_EQ(profileString("TACKLET", "RES_DLL", "", 260, app.ResourceSettingsPath()), "NoSuchSkin.so");
    EXPECT_EQ(&currentResourceModule(), &programModule());
    EXPECT_EQ(loadString(57344), "Tacklet");
    EXPECT_TRUE(world.starts().empty());
}

TEST_F(ItemAction, NamesThatClimbOutStartAndStoreNothing)
{
    ASSERT_TRUE(writeWholeFile(world.root() + "/outside.sh", "#!/bin/sh\n"));
    std::filesystem::copy_file(TEST_RESOURCE_LIBRARY, world.root() + "/TestSkin.so");
    for (const int version : {5, 10}) {
        world.setOsMajorVersion(version);
        run("EXEC", "APPPATH", "..\\outside.sh", "");
        run("EXEC", "APPPATH", world.root() + "/outside.sh", "");
        run("EXEC", "APPPATH", std::string("bin\\run.sh\0/../x", 17), "");
    }
    run("RESOURCE", "APPPATH", "..\\TestSkin.so", "");
    run("RESOURCE", "APPPATH", world.root() + "/TestSkin.so", "");
    EXPECT_TRUE(world.starts().empty());
    EXPECT_EQ(readWholeFile(app.ResourceSettingsPath()), "");
    EXPECT_EQ(&currentResourceModule(), &programModule());
}

} // namespace
