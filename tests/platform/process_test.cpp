// Named mutexes and command-line splitting.

#include "platform/errors.h"
#include "platform/process.h"
#include "platform/sim/world.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(NamedMutex, TheFirstHolderWinsUntilItLetsGo)
{
    sim::World world;
    auto first = std::make_unique<NamedMutex>();
    NamedMutex second;
    EXPECT_EQ(first->create("TACKLETByTESSARY"), 0u);
    EXPECT_EQ(second.create("TACKLETByTESSARY"), ERROR_ALREADY_EXISTS);
    NamedMutex other;
    EXPECT_EQ(other.create("PickwrenByTessary"), 0u);
    first.reset();
    NamedMutex third;
    EXPECT_EQ(third.create("TACKLETByTESSARY"), 0u);
}

TEST(CommandLine, SplitsLikeWindowsPrograms)
{
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"/sys/regsvr32 -s /a/b.so", {"/sys/regsvr32", "-s", "/a/b.so"}},
        {"\"/my dir/app\" one  \"two three\"", {"/my dir/app", "one", "two three"}},
        {"app a\\\\b \\\"q\\\" \"x\"\"y\"", {"app", "a\\\\b", "\"q\"", "x\"y"}},
        {"app \"a\\\\\" b", {"app", "a\\", "b"}},
        {"  app\t  ", {"app"}},
        {"/opt/setup.exe/u", {"/opt/setup.exe/u"}},   // parameters without a leading blank run on
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
}

} // namespace
