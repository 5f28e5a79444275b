// TCP sockets and the socket event object, against a plain listening socket of the test's own.

#include "platform/errors.h"
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr Ipv4Address kLoopback = 0x7F000001;

// A listening socket on 127.0.0.1 with an ephemeral port; accept() hands out the server side.
class Listener {
public:
    Listener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        socklen_t length = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() { ::close(fd_); }
    std::uint16_t port() const { return port_; }
    int accept() { return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A port on which nothing listens: bound once, then released.
std::uint16_t deadPort()
{
    Listener probe;
    return probe.port();
}

TEST(Ipv4, OnlyDottedQuadsParse)
{
    struct Case {
        const char* text;
        std::optional<Ipv4Address> address;
    } cases[] = {
        {"127.0.0.1", kLoopback},
        {"10.1.2.3", 0x0A010203},
        {"255.255.255.255", 0xFFFFFFFF},
        {"0.0.0.0", 0},
        {"127.1", std::nullopt},
        {"256.0.0.1", std::nullopt},
        {" 127.0.0.1", std::nullopt},
        {"127.0.0.1 ", std::nullopt},
        {"localhost", std::nullopt},
        {"", std::nullopt},
        {"::1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseIpv4(c.text), c.address) << c.text;
    EXPECT_EQ(parseIpv4(std::string("127.0.0.1\0garbage", 17)), std::nullopt);
}

TEST(Ipv4, NamesResolveToTheirFirstIpv4Address)
{
    EXPECT_EQ(resolveIpv4("localhost"), kLoopback);
    EXPECT_EQ(resolveIpv4("127.0.0.1"), kLoopback);
    setLastError(0);
    EXPECT_EQ(resolveIpv4("no-such-host.invalid"), std::nullopt);
    EXPECT_EQ(lastError(), WSAHOST_NOT_FOUND);
    EXPECT_EQ(resolveIpv4(""), std::nullopt);
}

TEST(TcpSocket, ConnectsSendsAndReceivesWithoutWaiting)
{
    Listener listener;
    TcpSocket socket;
    ASSERT_TRUE(socket.create());
    EXPECT_TRUE(socket.setReceiveBufferSize(4194304));
    ASSERT_TRUE(socket.connect(kLoopback, listener.port()));
    const int peer = listener.accept();
    ASSERT_GE(peer, 0);

    EXPECT_EQ(socket.send("ping", 4), 4);
    char buffer[16] = {};
    EXPECT_EQ(::recv(peer, buffer, sizeof buffer, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "ping");

    EXPECT_EQ(socket.receive(buffer, sizeof buffer), -1);
    EXPECT_EQ(lastError(), WSAEWOULDBLOCK);
    ASSERT_EQ(::send(peer, "pong", 4, 0), 4);
    SocketEvent event;
    ASSERT_TRUE(event.isValid());
    EXPECT_EQ(event.wait(socket), SocketEvent::kReadable);
    EXPECT_EQ(socket.receive(buffer, sizeof buffer), 4);

    ::close(peer);
    EXPECT_EQ(event.wait(socket), SocketEvent::kReadable);
    EXPECT_EQ(socket.receive(buffer, sizeof buffer), 0);
    // Sending to a connection the peer has ended fails sooner or later, without a signal that
    // would end the process.
    long result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i)
        result = socket.send("x", 1);
    EXPECT_EQ(result, -1);
}

TEST(TcpSocket, ARefusedConnectReportsItsCode)
{
    TcpSocket socket;
    ASSERT_TRUE(socket.create());
    EXPECT_FALSE(socket.connect(kLoopback, deadPort()));
    EXPECT_EQ(lastError(), WSAECONNREFUSED);
    socket.close();
    EXPECT_FALSE(socket.isOpen());
    EXPECT_EQ(socket.send("x", 1), -1);
}

TEST(SocketEvent, ASignalWakesAWaitOnASilentSocketAndIsNotLostBeforeIt)
{
    Listener listener;
    TcpSocket socket;
    ASSERT_TRUE(socket.create());
    ASSERT_TRUE(socket.connect(kLoopback, listener.port()));
    SocketEvent event;

    // Signalled before anyone waits: the next wait returns at once, and consumes it.
    event.signal();
    EXPECT_EQ(event.wait(socket), SocketEvent::kSignalled);

    std::promise<unsigned> woke;
    std::thread waiter([&] { woke.set_value(event.wait(socket)); });
    event.signal();
    auto result = woke.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(result.get(), SocketEvent::kSignalled);
    waiter.join();
}

TEST(SocketEvent, AWaitOnAClosedSocketFailsInsteadOfBlocking)
{
    TcpSocket closed;
    SocketEvent event;
    EXPECT_EQ(event.wait(closed), 0u);
    EXPECT_EQ(lastError(), WSAENOTSOCK);
}

} // namespace
