// INI profile rules.

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/sim/world.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct ProfileTest : ::testing::Test {
    sim::World world;
    std::string path = world.root() + "/settings.ini";
    void write(const std::string& text) { ASSERT_TRUE(writeWholeFile(path, text)); }
    std::string content() { return readWholeFile(path).value_or("<missing>"); }
};

TEST_F(ProfileTest, ReadsFollowTheProfileRules)
{
    write("; comment\r\n[Other]\r\nPORT=1\r\n[orvane]\r\n  port = 3100  \r\nID=12abc\r\nCP=abc\r\nEMPTY=\r\n"
          "NEG=-5\r\nIP=\"host.example\"\r\n[Orvane]\r\nREF=9\r\n");
    struct Case {
        const char* key;
        int expected;
    } ints[] = {
        {"PORT", 3100},   // section and key without regard to case, blanks around the value trimmed
        {"id", 12},       // leading digits
        {"CP", 0},        // no digits
        {"EMPTY", 0},     // present but empty
        {"NEG", 0},       // no leading digit
        {"MISSING", 77},  // default
        {"REF", 77},      // a second section of the same name is not read
    };
    for (const Case& c : ints)
        EXPECT_EQ(profileInt("Orvane", c.key, 77, path), c.expected) << c.key;
    EXPECT_EQ(profileString("ORVANE", "IP", "d", 255, path), "host.example");
    EXPECT_EQ(profileString("Orvane", "IP", "d", 4, path), "host");
    EXPECT_EQ(profileString("Orvane", "NONE", "fallback", 255, path), "fallback");
    EXPECT_EQ(profileInt("Orvane", "PORT", 3000, world.root() + "/missing.ini"), 3000);
}

TEST_F(ProfileTest, WritesCreateWhatIsMissingAndKeepTheRest)
{
    EXPECT_TRUE(writeProfileString("Orvane", "ALARM", "0", path));
    EXPECT_EQ(content(), "[Orvane]\nALARM=0\n");

    write("; keep me\r\n[TACKLET]\r\nRES_DLL=a.so\r\n\r\n[Orvane]\r\nID=1\r\nCP=5\r\n");
    EXPECT_TRUE(writeProfileString("orvane", "id", "1234", path));
    EXPECT_TRUE(writeProfileString("Orvane", "ALARM", "1", path));
    EXPECT_TRUE(writeProfileString("TACKLET", "NEW", "x", path));
    EXPECT_TRUE(writeProfileString("Extra", "K", "v", path));
    EXPECT_EQ(content(), "; keep me\r\n[TACKLET]\r\nRES_DLL=a.so\r\nNEW=x\r\n\r\n[Orvane]\r\nid=1234\r\nCP=5\r\n"
                         "ALARM=1\r\n[Extra]\r\nK=v\r\n");
    EXPECT_EQ(profileInt("Orvane", "ID", 0, path), 1234);
}

TEST_F(ProfileTest, ValuesAreKeptAsUtf8Text)
{
    EXPECT_TRUE(writeProfileString("S", "name", "한글 값", path));
    EXPECT_EQ(profileString("S", "NAME", "", 255, path), "한글 값");
    EXPECT_EQ(profileString("S", "NAME", "", 2, path), "한글");
    write("[S]\nbad=\xff\xfe\n");
    EXPECT_EQ(profileString("S", "bad", "", 255, path), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

} // namespace
