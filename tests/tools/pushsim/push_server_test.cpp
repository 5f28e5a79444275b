#include "pushsim/push_server.h"
#include "pushsim/tacklet_framing.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using pushsim::PushServer;

constexpr auto kWait = 5s;  // generous: only reached when something is broken

const std::string kLogin =
    "<PKT><GBN>1</GBN><P-ID>0</P-ID><P-CP>5</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>";

// A plain blocking TCP client, as the programs use.
class Client {
public:
    explicit Client(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            connectError_ = errno;
        }
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { close(); }

    bool connected() const { return connectError_ == 0; }
    int connectError() const { return connectError_; }

    bool write(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Exactly `count` bytes, or nothing when the stream ends or stays silent.
    std::optional<std::string> read(std::size_t count) {
        std::string bytes;
        while (bytes.size() < count) {
            const std::optional<std::string> chunk = readSome(count - bytes.size());
            if (!chunk || chunk->empty()) return std::nullopt;
            bytes += *chunk;
        }
        return bytes;
    }

    // True once the server has closed the connection (end of stream or reset).
    bool waitClosed() {
        for (;;) {
            const std::optional<std::string> chunk = readSome(4096);
            if (!chunk) return false;
            if (chunk->empty()) return true;
        }
    }

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    // Up to `most` bytes; "" at the end of the stream; nothing on a timeout.
    std::optional<std::string> readSome(std::size_t most) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kWait).count())) != 1) {
            return std::nullopt;
        }
        std::string buffer(most, '\0');
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n <= 0) return std::string();
        buffer.resize(static_cast<std::size_t>(n));
        return buffer;
    }

    int fd_ = -1;
    int connectError_ = 0;
};

class PushServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    PushServer server;
};

TEST_F(PushServerTest, FramesSplitAtOddBytesArriveInOrderWithTheExactBytes) {
    Client client(server.port());
    ASSERT_TRUE(client.connected());
    const std::string wire = kLogin + "\r\n\0"s + "\r\n\0"s + "<PKT>줄\r\n바꿈</PKT>\r\n\0"s +
                             "<PKT><GBN>100</GBN></PKT>\r\n\0"s;
    // Odd piece sizes cut the terminators and the Korean characters apart.
    std::size_t at = 0;
    for (std::size_t size = 1; at < wire.size(); size += 2) {
        ASSERT_TRUE(client.write(wire.substr(at, size)));
        at += size;
    }

    EXPECT_EQ(server.nextPacket(kWait), kLogin);
    EXPECT_EQ(server.nextPacket(kWait), "");
    EXPECT_EQ(server.nextPacket(kWait), "<PKT>줄\r\n바꿈</PKT>");
    EXPECT_EQ(server.nextPacket(kWait), "<PKT><GBN>100</GBN></PKT>");
    EXPECT_EQ(server.receivedBytes(0), wire);
}

TEST_F(PushServerTest, EachConnectionIsCutOnItsOwn) {
    Client first(server.port());
    ASSERT_TRUE(server.waitForConnections(1, kWait));
    Client second(server.port());
    ASSERT_TRUE(server.waitForConnections(2, kWait));

    ASSERT_TRUE(first.write("first\r"));
    ASSERT_TRUE(second.write("\n\0second\r\n\0"s));
    EXPECT_EQ(server.nextPacket(kWait), "\n\0second"s);
    ASSERT_TRUE(first.write("\n\0"s + "third\r\n\0"s));
    EXPECT_EQ(server.nextPacket(kWait), "first");
    EXPECT_EQ(server.nextPacket(kWait), "third");
    EXPECT_EQ(server.receivedBytes(0), "first\r\n\0third\r\n\0"s);
    EXPECT_EQ(server.receivedBytes(1), "\n\0second\r\n\0"s);
    EXPECT_THROW(server.receivedBytes(2), std::out_of_range);
}

TEST_F(PushServerTest, SendsGoToTheNewestClientUnlessAddressed) {
    Client older(server.port());
    ASSERT_TRUE(server.waitForConnections(1, kWait));
    Client newest(server.port());
    ASSERT_TRUE(server.waitForConnections(2, kWait));

    ASSERT_TRUE(server.send("<PKT><GBN>3</GBN><P-TIT>안녕</P-TIT></PKT>"));
    const std::string framed = "<PKT><GBN>3</GBN><P-TIT>안녕</P-TIT></PKT>\r\n\0"s;
    EXPECT_EQ(newest.read(framed.size()), framed);

    // Raw bytes go out unframed: half a frame, then its end with a whole one.
    ASSERT_TRUE(server.sendRaw("<PKT>a</P"));
    ASSERT_TRUE(server.sendRaw("KT>\r\n\0<PKT>b</PKT>\r\n\0"s));
    const std::string raw = "<PKT>a</PKT>\r\n\0<PKT>b</PKT>\r\n\0"s;
    EXPECT_EQ(newest.read(raw.size()), raw);

    ASSERT_TRUE(server.sendTo(0, "old"));
    // The older client's first bytes are its own packet, so nothing meant for
    // the newest reached it.
    EXPECT_EQ(older.read(6), "old\r\n\0"s);
}

TEST_F(PushServerTest, CloseClientIsSeenAsEndOfStream) {
    Client client(server.port());
    ASSERT_TRUE(server.waitForConnections(1, kWait));
    ASSERT_TRUE(client.write(kLogin + "\r\n\0"s));
    ASSERT_EQ(server.nextPacket(kWait), kLogin);

    EXPECT_TRUE(server.closeClient());
    EXPECT_TRUE(client.waitClosed());
    EXPECT_EQ(server.openCount(), 0u);
    EXPECT_EQ(server.acceptedCount(), 1u);
    EXPECT_FALSE(server.closeClient());
    EXPECT_FALSE(server.send("late"));
    EXPECT_EQ(server.receivedBytes(0), kLogin + "\r\n\0"s);
}

TEST_F(PushServerTest, ObserverSeesConnectPacketAndPeerClose) {
    std::mutex mutex;
    std::vector<std::string> seen;
    std::promise<void> closed;
    server.setObserver([&](const PushServer::Event& event) {
        std::lock_guard lock(mutex);
        switch (event.kind) {
        case PushServer::Event::Kind::Connected: seen.push_back("connected"); break;
        case PushServer::Event::Kind::Packet: seen.push_back("packet " + event.text); break;
        case PushServer::Event::Kind::Closed:
            seen.push_back(event.reason == PushServer::CloseReason::Peer ? "peer closed" : "other close");
            closed.set_value();
            break;
        }
    });

    Client client(server.port());
    ASSERT_TRUE(client.write("hi\r\n\0"s));
    ASSERT_EQ(server.nextPacket(kWait), "hi");
    client.close();
    EXPECT_TRUE(server.waitForPeerClose(kWait));
    EXPECT_EQ(server.openCount(), 0u);
    ASSERT_EQ(closed.get_future().wait_for(kWait), std::future_status::ready);
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen, (std::vector<std::string>{"connected", "packet hi", "peer closed"}));
}

TEST_F(PushServerTest, StopAcceptingRefusesUntilResumedOnTheSamePort) {
    Client kept(server.port());
    ASSERT_TRUE(server.waitForConnections(1, kWait));
    const std::uint16_t port = server.port();

    server.stopAccepting();
    Client refused(port);
    EXPECT_EQ(refused.connectError(), ECONNREFUSED);
    // The connection accepted before goes on working.
    ASSERT_TRUE(kept.write("still here\r\n\0"s));
    EXPECT_EQ(server.nextPacket(kWait), "still here");

    ASSERT_TRUE(server.resumeAccepting());
    EXPECT_EQ(server.port(), port);
    Client again(port);
    EXPECT_TRUE(again.connected());
    EXPECT_TRUE(server.waitForConnections(2, kWait));
    EXPECT_EQ(server.openCount(), 2u);
}

TEST_F(PushServerTest, APortInUseIsReportedAsFailure) {
    PushServer second;
    EXPECT_FALSE(second.listen(server.port()));
}

TEST_F(PushServerTest, StopClosesClientsAndKeepsTheRecord) {
    Client client(server.port());
    ASSERT_TRUE(client.write("bye\r\n\0"s));
    ASSERT_EQ(server.nextPacket(kWait), "bye");

    server.stop();
    EXPECT_TRUE(client.waitClosed());
    EXPECT_EQ(Client(server.port()).connectError(), ECONNREFUSED);
    EXPECT_FALSE(server.send("after stop"));
    EXPECT_FALSE(server.listen());
    EXPECT_FALSE(server.resumeAccepting());
    EXPECT_EQ(server.receivedBytes(0), "bye\r\n\0"s);
}

TEST_F(PushServerTest, SettleShowsEverythingAClientDidBeforeIt) {
    // Without settle() a check right after a connect or a send races the server's thread; with
    // it the counts are exact at once, every time.
    std::vector<std::unique_ptr<Client>> clients;
    for (std::size_t i = 0; i < 50; ++i) {
        clients.push_back(std::make_unique<Client>(server.port()));
        ASSERT_TRUE(server.settle(kWait));
        ASSERT_EQ(server.acceptedCount(), i + 1);
        ASSERT_TRUE(clients.back()->write("x" + std::to_string(i)));
        ASSERT_TRUE(server.settle(kWait));
        ASSERT_EQ(server.receivedBytes(i), "x" + std::to_string(i));
    }
    server.stop();
    EXPECT_FALSE(server.settle(kWait));
}

TEST(PushServerWaits, TimeOutWithoutClients) {
    PushServer server;
    ASSERT_TRUE(server.listen());
    EXPECT_FALSE(server.waitForConnections(1, 20ms));
    EXPECT_EQ(server.nextPacket(20ms), std::nullopt);
    EXPECT_FALSE(server.waitForPeerClose(20ms));
    EXPECT_FALSE(server.send("nobody"));
}

TEST(PushServerLimits, AConnectionSendingTooMuchIsDropped) {
    PushServer::Options options;
    options.maxConnectionBytes = 1000;
    PushServer server(std::make_unique<pushsim::TackletFraming>(), options);
    ASSERT_TRUE(server.listen());
    Client client(server.port());
    const std::string frame = std::string(597, 'x') + "\r\n\0"s;
    ASSERT_TRUE(client.write(frame));
    ASSERT_TRUE(server.nextPacket(kWait).has_value());

    client.write(frame);  // may fail once the server has dropped it
    EXPECT_TRUE(client.waitClosed());
    EXPECT_EQ(server.openCount(), 0u);
    const std::size_t kept = server.receivedBytes(0).size();
    EXPECT_GE(kept, frame.size());
    EXPECT_LE(kept, options.maxConnectionBytes);
    EXPECT_EQ(server.nextPacket(0ms), std::nullopt);
}

}  // namespace
