#include "pushsim/web_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace std::chrono_literals;
using pushsim::HttpReply;
using pushsim::HttpRequest;
using pushsim::WebServer;

constexpr auto kWait = 5s;

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(web.listen());
        client.emplace("127.0.0.1", web.port());
        client->set_connection_timeout(5);
        client->set_read_timeout(5);
    }

    httplib::Result get(const std::string& target, const std::string& agent = "TACKLET SESSION") {
        return client->Get(target.c_str(), httplib::Headers{{"User-Agent", agent}});
    }

    WebServer web;
    std::optional<httplib::Client> client;
};

TEST_F(WebServerTest, ServesRoutesAndAnswers404ForUnknownPaths) {
    web.serve("/tackletSetup.aspx", "<PKT><TYPE>EXEC</TYPE></PKT>", "text/html; charset=utf-8");
    web.serve("/files/a.zip", "PK\x03\x04");

    const auto setup = get("/tackletSetup.aspx");
    ASSERT_TRUE(setup);
    EXPECT_EQ(setup->status, 200);
    EXPECT_EQ(setup->body, "<PKT><TYPE>EXEC</TYPE></PKT>");
    EXPECT_EQ(setup->get_header_value("Content-Type"), "text/html; charset=utf-8");

    const auto archive = get("/files/a.zip?v=2", "TESSARY SESSION");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->status, 200);
    EXPECT_EQ(archive->body, "PK\x03\x04");
    EXPECT_EQ(archive->get_header_value("Content-Type"), "application/octet-stream");

    const auto missing = get("/nothing.aspx");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    // A route is for its method only.
    const auto posted = client->Post("/tackletSetup.aspx", "", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 404);

    const std::vector<HttpRequest> requests = web.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/tackletSetup.aspx");
    EXPECT_EQ(requests[0].userAgent, "TACKLET SESSION");
    EXPECT_EQ(requests[1].path, "/files/a.zip");
    EXPECT_EQ(requests[1].query, "v=2");
    EXPECT_EQ(requests[1].userAgent, "TESSARY SESSION");
    EXPECT_EQ(requests[2].path, "/nothing.aspx");
    EXPECT_EQ(requests[3].method, "POST");
}

TEST_F(WebServerTest, SetStatusKeepsTheBodyAndReplacesAHandler) {
    web.serve("/tackletSetup.aspx", "kept");
    web.setStatus("/tackletSetup.aspx", 500);
    const auto failing = get("/tackletSetup.aspx");
    ASSERT_TRUE(failing);
    EXPECT_EQ(failing->status, 500);
    EXPECT_EQ(failing->body, "kept");

    web.handle("GET", "/dynamic", [](const HttpRequest&) { return HttpReply{200, "from handler"}; });
    web.setStatus("/dynamic", 503);
    const auto replaced = get("/dynamic");
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->status, 503);
    EXPECT_EQ(replaced->body, "");

    // Without any route, setStatus makes one.
    web.setStatus("/unset", 204);
    const auto unset = get("/unset");
    ASSERT_TRUE(unset);
    EXPECT_EQ(unset->status, 204);
}

TEST_F(WebServerTest, PostFormParametersReachTheHandlerAndTheRecord) {
    web.handle("POST", "/V2.aspx", [](const HttpRequest& request) {
        const auto category = request.form.find("cat");
        const std::string value = category == request.form.end() ? "none" : category->second;
        return HttpReply{200, "{\"cat\":\"" + value + "\"}", "application/json"};
    });

    const auto answer = client->Post("/V2.aspx?page=1",
                                     httplib::Params{{"cat", "3"}, {"word", "삼 성&전=자+"}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->body, "{\"cat\":\"3\"}");
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");

    const std::optional<HttpRequest> request = web.waitForRequest("/V2.aspx", kWait);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->query, "page=1");
    const std::multimap<std::string, std::string> form{{"cat", "3"}, {"word", "삼 성&전=자+"}};
    EXPECT_EQ(request->form, form);
    EXPECT_NE(request->body.find("cat=3"), std::string::npos);
}

TEST_F(WebServerTest, WaitForRequestHandsOutEachRequestOnce) {
    web.serve("/tackletSetup.aspx", "");
    ASSERT_TRUE(get("/tackletSetup.aspx?run=1"));
    ASSERT_TRUE(get("/other"));
    ASSERT_TRUE(get("/tackletSetup.aspx?run=2"));

    const auto first = web.waitForRequest("/tackletSetup.aspx", kWait);
    const auto second = web.waitForRequest("/tackletSetup.aspx", kWait);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->query, "run=1");
    EXPECT_EQ(second->query, "run=2");
    EXPECT_EQ(web.waitForRequest("/tackletSetup.aspx", 20ms), std::nullopt);
    EXPECT_TRUE(web.waitForRequest("/other", kWait));
}

TEST(WebServerPorts, APortInUseIsReportedAsFailure) {
    WebServer first;
    ASSERT_TRUE(first.listen());
    WebServer second;
    EXPECT_FALSE(second.listen(first.port()));
}

TEST(WebServerDirectory, ServesFilesBelowTheRootOnly) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("pushsim-web-" + std::to_string(::getpid()));
    fs::create_directories(root / "www" / "sub");
    std::ofstream(root / "www" / "sub" / "page.html") << "<p>안녕</p>";
    std::ofstream(root / "secret.txt") << "outside";

    WebServer web;
    EXPECT_FALSE(web.serveDirectory((root / "missing").string()));
    ASSERT_TRUE(web.serveDirectory((root / "www").string()));
    ASSERT_TRUE(web.listen());
    httplib::Client client("127.0.0.1", web.port());

    const auto page = client.Get("/sub/page.html", httplib::Headers{{"User-Agent", "TACKLET SESSION"}});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<p>안녕</p>");
    const auto escape = client.Get("/../secret.txt");
    ASSERT_TRUE(escape);
    EXPECT_EQ(escape->status, 404);

    const auto served = web.waitForRequest("/sub/page.html", kWait);
    ASSERT_TRUE(served);
    EXPECT_EQ(served->userAgent, "TACKLET SESSION");
    web.stop();
    fs::remove_all(root);
}

}  // namespace
