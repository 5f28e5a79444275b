#pragma once
// A Tacklet program in the simulated world with a real web server on loopback that serves the
// instruction text and the archives.

#include "tacklet_world.h"
#include "orvane_app.h"
#include "resources.h"

#include "platform/files.h"
#include "platform/sim/world.h"
#include "pushsim/web_server.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

// One instruction item from its tags, in the order given.
inline std::string Item(std::initializer_list<std::pair<const char*, std::string>> tags)
{
    std::string text = "<PKT>";
    for (const auto& [name, value] : tags)
        text += std::string("<") + name + ">" + value + "</" + name + ">";
    return text + "</PKT>";
}

struct UpdaterTest : ::testing::Test {
    platform::sim::World world{TackletWorld()};
    pushsim::WebServer web;
    COrvaneApp app;

    void SetUp() override
    {
        ASSERT_TRUE(web.listen(0));
        ASSERT_TRUE(app.InitInstance());
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(web.port()) + path; }
    std::string inProgram(const std::string& name) const { return world.programFolder() + "/" + name; }

    std::size_t requestsFor(const std::string& path) const
    {
        std::size_t n = 0;
        for (const auto& r : web.requests())
            n += r.path == path;
        return n;
    }
};
