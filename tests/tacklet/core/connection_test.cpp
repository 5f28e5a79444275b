// The Tacklet push connection against the push simulator on loopback, on the virtual clock:
// login, keep-alive, server close, reconnect periods, receiving, and what reconnects leave
// behind.
//
// What the client did is read from the server's side. The client connects and sends on the
// test's thread while the clock advances, so after PushServer::settle() the server's record is
// exact for every moment the test stopped the clock at.

#include "tacklet_world.h"
#include "main_frame.h"
#include "orvane_app.h"
#include "packet.h"
#include "resources.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/loop.h"
#include "platform/profile.h"
#include "platform/sim/world.h"
#include "platform/window.h"
#include "pushsim/push_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

using namespace platform;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr auto kWait = 5s;   // only reached when something is broken
const std::string kTerminator = "\r\n\0"s;
const std::string kLogin = "<PKT><GBN>1</GBN><P-ID>0</P-ID><P-CP>5</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>";
const std::string kPing = "<PKT><GBN>100</GBN></PKT>";

// Entries of a /proc folder: the process's threads or its open descriptors.
std::size_t countEntries(const char* folder)
{
    std::size_t count = 0;
    DIR* dir = opendir(folder);
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count;
}

struct Connection : ::testing::Test {
    sim::World world{TackletWorld()};
    pushsim::PushServer server;
    std::optional<COrvaneApp> app;
    Handle frame = 0;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        setting("IP", "127.0.0.1");
        setting("PORT", std::to_string(server.port()));
    }

    std::string ini() const { return world.programFolder() + "/Orvane.ini"; }
    void setting(const char* key, const std::string& value) { writeProfileString("Orvane", key, value, ini()); }

    void start()
    {
        app.emplace();
        ASSERT_TRUE(app->InitInstance());
        frame = app->MainFrame()->handle();
    }
    CMainFrame& mainFrame() { return *app->MainFrame(); }

    // Moves the clock to `ms` after the start.
    void advanceTo(std::int64_t ms)
    {
        ASSERT_GE(ms, world.now());
        world.advance(ms - world.now());
    }

    // The connections the server has accepted when the clock has reached `ms`.
    std::size_t connectsBy(std::int64_t ms)
    {
        advanceTo(ms);
        EXPECT_TRUE(server.settle(kWait));
        return server.acceptedCount();
    }
    // What connection `n` has sent when the clock has reached `ms`.
    std::string bytesBy(std::int64_t ms, std::size_t n = 0)
    {
        connectsBy(ms);
        return server.receivedBytes(n);
    }

    // The client learns of a close by the server on its event thread and acts on it on the GUI
    // thread, which stops the keep-alive timer: wait for that, moving the clock only a little.
    bool closeNoticed()
    {
        return world.advanceUntil([&] { return !hasTimer(frame, TIMER_KEEPALIVE); }, 100, 1, 50ms);
    }

    // Waits until the client's event thread has appended `count` bytes in all.
    bool queued(std::size_t count)
    {
        return world.advanceUntil([&] { return mainFrame().ReceiveQueue().Used() >= count; }, 5000, 1, 1ms);
    }
};

TEST_F(Connection, AFreshInstallLogsInToTheDefaultHostWithTheDefaultAccount)
{
    if (std::string(TACKLET_PUSH_HOST) != "127.0.0.1")
        GTEST_SKIP() << "the build's default push host is not this machine";
    ASSERT_TRUE(writeWholeFile(ini(), "[Orvane]\r\nPORT=" + std::to_string(server.port()) + "\r\n"));
    start();
    EXPECT_EQ(connectsBy(99), 0u);
    EXPECT_EQ(connectsBy(100), 1u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);
    EXPECT_EQ(server.receivedBytes(0), kLogin + kTerminator);
    EXPECT_FALSE(isVisible(frame));
    EXPECT_TRUE(world.messageBoxes().empty());
}

TEST_F(Connection, EveryAttemptReadsTheServerAndTheAccountFromTheSettings)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    EXPECT_EQ(server.receivedBytes(0), kLogin + kTerminator);

    // What the server assigned and another server's port, written while connected.
    pushsim::PushServer other;
    ASSERT_TRUE(other.listen());
    setting("ID", "1234");
    setting("CP", "7");
    setting("REF", "9");
    setting("PORT", std::to_string(other.port()));
    advanceTo(1000);
    ASSERT_TRUE(server.closeClient());
    ASSERT_TRUE(closeNoticed());

    advanceTo(300000);
    ASSERT_TRUE(other.waitForConnections(1, kWait));
    EXPECT_EQ(other.nextPacket(kWait),
              "<PKT><GBN>1</GBN><P-ID>1234</P-ID><P-CP>7</P-CP><P-REF>9</P-REF><P-VER>2.0</P-VER></PKT>");
    EXPECT_TRUE(server.settle(kWait));
    EXPECT_EQ(server.acceptedCount(), 1u);
}

TEST_F(Connection, KeepAliveEveryMinuteWhileConnected)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    std::string expected = kLogin + kTerminator;
    for (int minute = 1; minute <= 3; ++minute) {
        const std::int64_t due = 100 + minute * 60000;
        EXPECT_EQ(bytesBy(due - 1), expected) << "minute " << minute;
        expected += kPing + kTerminator;
        EXPECT_EQ(bytesBy(due), expected) << "minute " << minute;
    }
    // The reconnect tick at 300 s finds the connection standing and leaves it alone.
    EXPECT_EQ(connectsBy(300100), 1u);
}

TEST_F(Connection, AServerCloseStopsTheKeepAliveAndTheNextAttemptComesAtTheReconnectTick)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    advanceTo(1000);
    ASSERT_TRUE(server.closeClient());
    ASSERT_TRUE(closeNoticed());
    EXPECT_FALSE(mainFrame().IsConnected());

    // No keep-alive meets the closed connection (its failure would shorten the reconnect
    // period to 10 s), so nothing happens until the 300 s tick.
    EXPECT_EQ(connectsBy(299999), 1u);
    EXPECT_EQ(connectsBy(300000), 2u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);   // the first connection's
    EXPECT_EQ(server.nextPacket(kWait), kLogin);
    EXPECT_EQ(bytesBy(360000, 1), kLogin + kTerminator + kPing + kTerminator);

    // The reconnect period stays what it was.
    ASSERT_TRUE(server.closeClient());
    ASSERT_TRUE(closeNoticed());
    EXPECT_EQ(connectsBy(599999), 2u);
    EXPECT_EQ(connectsBy(600000), 3u);
    EXPECT_TRUE(world.messageBoxes().empty());
}

// The client's own socket, found by the port of the server it is connected to.
int clientSocketTo(std::uint16_t port)
{
    int found = -1;
    DIR* dir = opendir("/proc/self/fd");
    while (const dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (entry->d_name[0] != '.' && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0
            && peer.sin_family == AF_INET && ntohs(peer.sin_port) == port)
            found = fd;
    }
    closedir(dir);
    return found;
}

TEST_F(Connection, AFailedKeepAliveMakesTheReconnectTimerTryEvery10Seconds)
{
    // A server that accepts in the kernel and then neither reads nor closes, so the client's
    // event thread hears nothing when the client's side of the connection breaks.
    const int silent = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    socklen_t length = sizeof address;
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    setting("PORT", std::to_string(ntohs(address.sin_port)));

    start();
    advanceTo(100);
    ASSERT_TRUE(mainFrame().IsConnected());
    // The connection breaks under the client: its next send fails.
    const int client = clientSocketTo(ntohs(address.sin_port));
    ASSERT_GE(client, 0);
    ASSERT_EQ(shutdown(client, SHUT_WR), 0);

    // The keep-alive at 60.1 s fails; from then on the reconnect timer tries every 10 s. The
    // first try, at 70.1 s, finds the simulator not accepting yet.
    setting("PORT", std::to_string(server.port()));
    server.stopAccepting();
    advanceTo(75000);
    EXPECT_FALSE(mainFrame().IsConnected());
    ASSERT_TRUE(server.resumeAccepting());
    EXPECT_EQ(connectsBy(80099), 0u);
    EXPECT_EQ(connectsBy(80100), 1u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);

    // The 10 s period stays in force after the reconnect.
    advanceTo(81000);
    ASSERT_TRUE(server.closeClient());
    ASSERT_TRUE(closeNoticed());
    EXPECT_EQ(connectsBy(90099), 1u);
    EXPECT_EQ(connectsBy(90100), 2u);
    EXPECT_TRUE(world.messageBoxes().empty());
    close(silent);
}

TEST_F(Connection, AnUnreachableServerIsTriedEvery5Seconds)
{
    server.stopAccepting();
    start();
    advanceTo(12000);   // attempts at 0.1, 5.1 and 10.1 s were refused
    ASSERT_TRUE(server.resumeAccepting());
    EXPECT_EQ(connectsBy(15099), 0u);
    EXPECT_EQ(connectsBy(15100), 1u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);
    EXPECT_TRUE(world.messageBoxes().empty());
}

TEST_F(Connection, AnUnreachableServerIsAlsoTriedAtTheReconnectTick)
{
    server.stopAccepting();
    start();
    advanceTo(296000);   // the last refused retry was at 295.1 s, the next is due at 300.1 s
    ASSERT_TRUE(server.resumeAccepting());
    EXPECT_EQ(connectsBy(299999), 0u);
    EXPECT_EQ(connectsBy(300000), 1u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);
}

TEST_F(Connection, AHostThatDoesNotResolveFailsQuietlyAndTheRetriesGoOn)
{
    setting("IP", "no-such-host.invalid");
    start();
    setLastError(0);
    EXPECT_FALSE(mainFrame().Connect());
    EXPECT_EQ(lastError(), WSAEINVAL);

    EXPECT_EQ(connectsBy(10100), 0u);
    EXPECT_TRUE(world.messageBoxes().empty());
    setting("IP", "localhost");   // a name that does resolve
    EXPECT_EQ(connectsBy(15099), 0u);
    EXPECT_EQ(connectsBy(15100), 1u);
    EXPECT_EQ(server.nextPacket(kWait), kLogin);
}

TEST_F(Connection, AConnectAttemptClosesTheConnectionBeforeItEvenWhenItFails)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    EXPECT_TRUE(mainFrame().Connect());
    EXPECT_TRUE(server.settle(kWait));
    EXPECT_EQ(server.acceptedCount(), 2u);
    EXPECT_EQ(server.openCount(), 1u);

    server.stopAccepting();
    EXPECT_FALSE(mainFrame().Connect());
    EXPECT_EQ(lastError(), WSAECONNREFUSED);
    EXPECT_TRUE(server.waitForPeerClose(kWait));
    // Not connected any more, so the reconnect tick tries again.
    EXPECT_FALSE(mainFrame().IsConnected());
    ASSERT_TRUE(server.resumeAccepting());
    EXPECT_EQ(connectsBy(300000), 3u);
}

TEST_F(Connection, ReceivedBytesReachTheQueueWholeAndInOrder)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    // The test takes the dispatcher's place, to look at each packet.
    killTimer(frame, TIMER_DISPATCH);
    CMyQueue& queue = mainFrame().ReceiveQueue();

    // One frame over several reads, cut inside "바" (EB B0 94) and inside the terminator; a
    // line break inside the text does not end it.
    const std::string note = "<PKT><GBN>3</GBN><T>줄\r\n바꿈</T></PKT>";
    const std::string wire = note + kTerminator;
    const std::size_t cuts[] = {wire.find("\xEB\xB0") + 1, wire.size() - 2, wire.size() - 1, wire.size()};
    std::size_t at = 0;
    for (const std::size_t cut : cuts) {
        ASSERT_TRUE(server.sendRaw(wire.substr(at, cut - at)));
        ASSERT_TRUE(queued(cut));
        at = cut;
        if (at < wire.size()) {
            EXPECT_EQ(queue.Pop(), std::nullopt) << "after " << at << " bytes";
        }
    }
    const std::optional<std::string> popped = queue.Pop();
    ASSERT_TRUE(popped);
    Packet packet;
    packet.FromUtf8(popped->data(), popped->size());
    EXPECT_EQ(packet.GetText(), note);
    EXPECT_EQ(packet.GetTag("T"), "줄\r\n바꿈");

    // An empty frame first, then two frames in one write.
    ASSERT_TRUE(server.sendRaw(kTerminator + "<PKT>1</PKT>" + kTerminator + "<PKT>2</PKT>" + kTerminator));
    ASSERT_TRUE(queued(3 + 15 + 15));
    EXPECT_EQ(queue.Pop(), "");
    EXPECT_EQ(queue.Pop(), "<PKT>1</PKT>");
    EXPECT_EQ(queue.Pop(), "<PKT>2</PKT>");
    EXPECT_EQ(queue.Pop(), std::nullopt);
}

TEST_F(Connection, PacketsSentJustBeforeTheServerClosesAreKeptAndTheUnfinishedOneIsDropped)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    killTimer(frame, TIMER_DISPATCH);
    ASSERT_TRUE(server.sendRaw("<PKT>1</PKT>" + kTerminator + "<PKT>2</PKT>" + kTerminator + "<PKT>unfinished"));
    ASSERT_TRUE(server.closeClient());
    ASSERT_TRUE(closeNoticed());

    CMyQueue& queue = mainFrame().ReceiveQueue();
    EXPECT_EQ(queue.Pop(), "<PKT>1</PKT>");
    EXPECT_EQ(queue.Pop(), "<PKT>2</PKT>");
    EXPECT_EQ(queue.Pop(), std::nullopt);
    EXPECT_EQ(queue.Used(), 0u);
}

TEST_F(Connection, TheDispatchTimerTakesAtMostFourPacketsATick)
{
    server.stopAccepting();   // nothing arrives from the network meanwhile
    start();
    CMyQueue& queue = mainFrame().ReceiveQueue();
    const std::string frameBytes = "<PKT><GBN>3</GBN></PKT>" + kTerminator;
    for (int i = 0; i < 10; ++i)
        queue.Append(frameBytes.data(), frameBytes.size());
    const std::size_t expected[] = {10, 6, 2, 0, 0};
    for (int tick = 0; tick < 5; ++tick) {
        advanceTo(tick * 100);
        EXPECT_EQ(queue.Used(), expected[tick] * frameBytes.size()) << "at " << tick * 100 << " ms";
    }
}

TEST_F(Connection, ShutdownEndsTheConnectionAndNothingReconnects)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    killTimer(frame, TIMER_DISPATCH);
    ASSERT_TRUE(server.sendRaw("<PKT>waiting</PKT>" + kTerminator));
    ASSERT_TRUE(queued(21));

    mainFrame().ShutdownConnection();
    EXPECT_FALSE(mainFrame().IsConnected());
    EXPECT_TRUE(server.waitForPeerClose(kWait));
    EXPECT_EQ(mainFrame().ReceiveQueue().Used(), 0u);
    EXPECT_FALSE(hasTimer(frame, TIMER_KEEPALIVE));
    EXPECT_FALSE(hasTimer(frame, TIMER_RECONNECT));
    EXPECT_EQ(connectsBy(900000), 1u);
}

TEST_F(Connection, ManyReconnectsLeaveNoThreadOrSocketBehind)
{
    start();
    ASSERT_EQ(connectsBy(100), 1u);
    // Threads and descriptors of the process while connected and after a close by the server
    // (the simulator runs in this process too, so its side of the connection counts).
    const std::size_t connectedThreads = countEntries("/proc/self/task");
    const std::size_t connectedDescriptors = countEntries("/proc/self/fd");
    std::size_t closedThreads = 0;
    std::size_t closedDescriptors = 0;

    for (std::size_t cycle = 1; cycle <= 20; ++cycle) {
        ASSERT_TRUE(server.closeClient());
        ASSERT_TRUE(closeNoticed()) << "cycle " << cycle;
        if (cycle == 1) {
            closedThreads = countEntries("/proc/self/task");
            closedDescriptors = countEntries("/proc/self/fd");
            // The event thread has ended; the client's socket and event object are closed.
            EXPECT_EQ(closedThreads, connectedThreads - 1);
            EXPECT_LE(closedDescriptors, connectedDescriptors - 2);
        }
        EXPECT_EQ(countEntries("/proc/self/task"), closedThreads) << "cycle " << cycle;
        EXPECT_EQ(countEntries("/proc/self/fd"), closedDescriptors) << "cycle " << cycle;
        ASSERT_EQ(connectsBy(static_cast<std::int64_t>(cycle) * 300000), cycle + 1);
        EXPECT_EQ(countEntries("/proc/self/task"), connectedThreads) << "cycle " << cycle;
        EXPECT_EQ(countEntries("/proc/self/fd"), connectedDescriptors) << "cycle " << cycle;
    }

    // Exit wakes the last event thread, which ends like the others.
    app->ExitInstance();
    EXPECT_TRUE(server.waitForPeerClose(kWait));
    EXPECT_EQ(countEntries("/proc/self/task"), closedThreads);
    server.closeAll();
    EXPECT_EQ(countEntries("/proc/self/fd"), closedDescriptors);
}

} // namespace
