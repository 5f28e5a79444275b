// The layer's HTTP GET client against a real server on loopback.

#include "platform/http.h"
#include "pushsim/web_server.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace platform;

namespace {

struct Received {
    std::vector<int> statuses;
    std::vector<std::size_t> blockSizes;
    std::string body;
};

HttpGetResult get(const std::string& host, const std::string& path, Received& out, bool takeBody = true,
                  std::size_t stopAfter = std::string::npos)
{
    HttpGetRequest request;
    request.agent = "TEST AGENT";
    request.host = host;
    request.path = path;
    HttpGetHandlers handlers;
    handlers.onStatus = [&out, takeBody](int status) {
        out.statuses.push_back(status);
        return takeBody;
    };
    handlers.onBlock = [&out, stopAfter](const char* data, std::size_t size) {
        out.blockSizes.push_back(size);
        out.body.append(data, size);
        return out.body.size() < stopAfter;
    };
    return httpGet(request, handlers);
}

struct HttpClient : ::testing::Test {
    pushsim::WebServer web;
    void SetUp() override { ASSERT_TRUE(web.listen(0)); }
    std::string host() const { return "127.0.0.1:" + std::to_string(web.port()); }
};

std::string binaryBody(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 7919) >> 3);
    return body;
}

TEST_F(HttpClient, DeliversTheBodyInBlocksOfAtMostTheBlockSizeAfterTheStatus)
{
    const std::string body = binaryBody(70000);
    web.serve("/files/a.zip", body);
    Received got;
    const HttpGetResult r = get(host(), "files/a.zip", got);
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(got.statuses, std::vector<int>{200});
    EXPECT_EQ(got.body, body);
    ASSERT_FALSE(got.blockSizes.empty());
    for (const std::size_t n : got.blockSizes)
        EXPECT_LE(n, 1024u);
    const auto requests = web.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].userAgent, "TEST AGENT");
}

TEST_F(HttpClient, AnAnswerWithoutBodyStillReportsItsStatus)
{
    web.serve("/empty", "");
    web.setStatus("/gone", 404);
    Received empty, gone;
    EXPECT_EQ(get(host(), "/empty", empty).status, 200);
    EXPECT_EQ(empty.statuses, std::vector<int>{200});
    EXPECT_TRUE(empty.blockSizes.empty());

    // An unwanted body is skipped, and that is no error.
    web.serve("/moved", "elsewhere", "text/plain", 302);
    Received moved;
    const HttpGetResult r = get(host(), "/moved", moved, false);
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(r.status, 302);
    EXPECT_TRUE(moved.body.empty());
    EXPECT_EQ(web.requests().size(), 2u);   // redirects are not followed

    EXPECT_EQ(get(host(), "/gone", gone).status, 404);
}

TEST_F(HttpClient, AHandlerCanEndTheTransfer)
{
    web.serve("/big", binaryBody(300000));
    Received got;
    const HttpGetResult r = get(host(), "/big", got, true, 1);
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(got.blockSizes.size(), 1u);
}

TEST_F(HttpClient, PathsAreSentAsWrittenWithBlanksAndNonAsciiEncoded)
{
    web.serve("/a b/파일.zip", "x");
    web.serve("/q", "y");
    Received first, second;
    EXPECT_EQ(get(host(), "a b/파일.zip", first).status, 200);
    EXPECT_EQ(first.body, "x");
    EXPECT_EQ(get(host(), "q?v=1&w=2", second).status, 200);
    EXPECT_EQ(web.requests().back().query, "v=1&w=2");
}

TEST_F(HttpClient, HostTextsThatAreNoPlainHostAreRefusedUnsent)
{
    for (const std::string& bad : {std::string(""), std::string("user@127.0.0.1"), std::string("127.0.0.1:0"),
                                  std::string("127.0.0.1:65536"), std::string("127.0.0.1:x"), std::string("a/b"),
                                  std::string("[::1"), std::string("ex ample.com"), host() + "#frag"}) {
        Received got;
        const HttpGetResult r = get(bad, "/x", got);
        EXPECT_EQ(r.error, ERROR_INTERNET_INVALID_URL) << bad;
        EXPECT_EQ(r.status, 0) << bad;
        EXPECT_TRUE(got.statuses.empty()) << bad;
    }
    EXPECT_TRUE(web.requests().empty());
}

TEST(HttpClientFailure, ANoServerPortGivesCannotConnect)
{
    std::uint16_t closedPort;
    {
        pushsim::WebServer probe;
        ASSERT_TRUE(probe.listen(0));
        closedPort = probe.port();
    }
    Received got;
    const HttpGetResult r = get("127.0.0.1:" + std::to_string(closedPort), "/x", got);
    EXPECT_EQ(r.error, ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(got.statuses.empty());
}

// The environment's proxy is used: a request for a host that does not exist arrives at the proxy
// in absolute form.
TEST_F(HttpClient, GoesThroughTheEnvironmentsProxy)
{
    const char* saved = std::getenv("http_proxy");
    const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("http_proxy", ("http://" + host()).c_str(), 1);
    Received got;
    const HttpGetResult r = get("updates.invalid", "/tackletSetup.aspx", got);
    if (previous)
        ::setenv("http_proxy", previous->c_str(), 1);
    else
        ::unsetenv("http_proxy");
    EXPECT_EQ(r.status, 404);
    const auto requests = web.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "http://updates.invalid/tackletSetup.aspx");
}

// A server that accepts and then says nothing holds the caller only for the stall time-out.
TEST_F(HttpClient, AStalledServerIsGivenUpAfterTheStallTimeout)
{
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    web.handle("GET", "/stall", [&](const pushsim::HttpRequest&) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
        return pushsim::HttpReply{200, "late"};
    });
    HttpGetRequest request;
    request.host = host();
    request.path = "/stall";
    request.stallTimeout = std::chrono::seconds(1);
    bool sawStatus = false;
    HttpGetHandlers handlers;
    handlers.onStatus = [&](int) { return sawStatus = true; };
    const HttpGetResult r = httpGet(request, handlers);
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_EQ(r.error, ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(sawStatus);
}

} // namespace
