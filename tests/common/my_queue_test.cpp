// The receive queue and the Tacklet framing: cutting at 0D 0A 00, the overflow rule, the ring's
// wrap-around, and one appending and one popping thread at once.

#include "framing.h"
#include "my_queue.h"
#include "packet.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::string_literals;

namespace {

// One step of a case: append bytes, pop (expecting a packet or nothing), or end a connection.
struct Op {
    enum Kind { Append, Pop, DropIncomplete, Clear } kind;
    std::string bytes;                 // Append: what arrives; Pop: the packet expected
    bool expectPacket = true;          // Pop only
};
Op append(std::string bytes) { return {Op::Append, std::move(bytes)}; }
Op pops(std::string packet) { return {Op::Pop, std::move(packet)}; }
Op popsNothing() { return {Op::Pop, "", false}; }
Op dropIncomplete() { return {Op::DropIncomplete, ""}; }
Op clear() { return {Op::Clear, ""}; }

struct Case {
    const char* name;
    std::size_t capacity;
    std::vector<Op> ops;
    std::size_t usedAtEnd;
};

void run(const Case& c)
{
    CMyQueue queue(c.capacity);
    for (std::size_t i = 0; i < c.ops.size(); ++i) {
        const Op& op = c.ops[i];
        switch (op.kind) {
        case Op::Append:
            queue.Append(op.bytes.data(), op.bytes.size());
            break;
        case Op::Pop: {
            const std::optional<std::string> packet = queue.Pop();
            if (op.expectPacket)
                EXPECT_EQ(packet, op.bytes) << c.name << ", step " << i;
            else
                EXPECT_EQ(packet, std::nullopt) << c.name << ", step " << i;
            break;
        }
        case Op::DropIncomplete:
            queue.DropIncomplete();
            break;
        case Op::Clear:
            queue.Clear();
            break;
        }
    }
    EXPECT_EQ(queue.Used(), c.usedAtEnd) << c.name;
}

TEST(CMyQueue, CutsPacketsAtTheFullTerminatorOnly)
{
    constexpr std::size_t big = CMyQueue::kCapacity;
    const Case cases[] = {
        {"a frame over several reads pops only once its terminator is in",
         big,
         {append("<PKT><GBN>3"), popsNothing(), append("</GBN></PKT>\r"), popsNothing(), append("\n"),
          popsNothing(), append("\0"s), pops("<PKT><GBN>3</GBN></PKT>"), popsNothing()},
         0},
        {"two frames in one read pop in order",
         big,
         {append("<PKT>1</PKT>\r\n\0<PKT>2</PKT>\r\n\0"s), pops("<PKT>1</PKT>"), pops("<PKT>2</PKT>"),
          popsNothing()},
         0},
        {"a terminator at the very front is an empty packet",
         big,
         {append("\r\n\0<PKT>x</PKT>\r\n\0"s), pops(""), pops("<PKT>x</PKT>"), popsNothing()},
         0},
        {"0D 0A without the zero byte is text",
         big,
         {append("line 1\r\nline 2\r\n"), popsNothing(), append("\0"s), pops("line 1\r\nline 2")},
         0},
        {"a zero byte without 0D 0A before it is text",
         big,
         {append("a\0b\n\0c\r\0d\r\n\0"s), pops("a\0b\n\0c\r\0d"s)},
         0},
        {"0D 0D 0A 00 keeps the first 0D",
         big,
         {append("a\r\r\n\0"s), pops("a\r")},
         0},
        {"fewer than three bytes never make a packet",
         big,
         {append("\n\0"s), popsNothing(), append("x"), popsNothing()},
         3},
        {"the bytes of a Korean character split across reads come out whole",
         big,
         {append("<PKT>\xEA"), popsNothing(), append("\xB0\x80</PKT>\r\n\0"s), pops("<PKT>가</PKT>")},
         0},
        {"an append that would overflow discards everything, complete packets too",
         16,
         {append("0123456\r\n\0abc"s), append("xyzw"), popsNothing(), append("\r\n\0"s), pops("xyzw")},
         0},
        {"filling the queue exactly is not an overflow",
         16,
         {append("0123456789abc\r\n\0"s), pops("0123456789abc")},
         0},
        {"after an overflow the search starts again at the front",
         16,
         {append("0123456789abc"), popsNothing(), append("\r\n\0x"s), pops(""), popsNothing()},
         1},
        {"more than the whole capacity at once keeps the newest bytes",
         8,
         {append("discarded12345\r\n\0"s), pops("12345")},
         0},
        {"packets and terminators that wrap around the end of the ring",
         16,
         {append("abcdefghijk\r\n\0"s), pops("abcdefghijk"),   // the next byte goes to index 14
          append("x\r\n\0"s), pops("x"),                      // 0D at 15, 0A 00 at 0 and 1
          append("0123456789\r\n\0"s), pops("0123456789"),    // indexes 2 to 14
          append("ABCDEFG"), append("HIJ\r\n\0"s), pops("ABCDEFGHIJ")},   // text from 15 on to 8
         0},
        {"ending a connection keeps complete packets and drops the unfinished one",
         big,
         {append("<PKT>1</PKT>\r\n\0<PKT>2</PKT>\r\n\0<PKT>unfin"s), dropIncomplete(), pops("<PKT>1</PKT>"),
          pops("<PKT>2</PKT>"), popsNothing()},
         0},
        {"ending a connection with only an unfinished packet empties the queue",
         big,
         {append("<PKT>unfinished\r\n"), popsNothing(), dropIncomplete(), append("\0"s), popsNothing()},
         1},
        {"ending a connection after a complete packet changes nothing",
         big,
         {append("a\r\n\0b\r\n\0"s), dropIncomplete(), pops("a"), pops("b")},
         0},
        {"clear discards complete packets as well",
         big,
         {append("a\r\n\0b"s), clear(), popsNothing(), append("c\r\n\0"s), pops("c")},
         0},
    };
    for (const Case& c : cases)
        run(c);
}

TEST(CMyQueue, HoldsExactly4096000BytesAndEmptiesOnTheFirstByteMore)
{
    CMyQueue queue;
    EXPECT_EQ(queue.Capacity(), 4096000u);
    const std::string read(1024, 'x');
    for (int i = 0; i < 4000; ++i)
        queue.Append(read.data(), read.size());
    EXPECT_EQ(queue.Used(), 4096000u);
    queue.Append("\r", 1);
    EXPECT_EQ(queue.Used(), 1u);
}

TEST(CMyQueue, APopperSeesEveryPacketOfAConcurrentAppenderWholeAndInOrder)
{
    // The event thread appends reads cut at random places while the GUI thread pops.
    constexpr int kPackets = 20000;
    std::string wire;
    for (int i = 0; i < kPackets; ++i)
        wire += EncodeFrame("<PKT><GBN>3</GBN><N>" + std::to_string(i) + "</N><T>한글\r\n</T></PKT>");
    CMyQueue queue;
    std::thread appender([&] {
        std::mt19937 random(7);
        for (std::size_t at = 0; at < wire.size();) {
            const std::size_t count = std::min<std::size_t>(1 + random() % 1024, wire.size() - at);
            queue.Append(wire.data() + at, count);
            at += count;
        }
    });
    int next = 0;
    while (next < kPackets) {
        const std::optional<std::string> packet = queue.Pop();
        if (!packet) {
            std::this_thread::yield();
            continue;
        }
        Packet decoded;
        decoded.FromUtf8(packet->data(), packet->size());
        ASSERT_EQ(decoded.GetTagInt("N", -1), next);
        ASSERT_EQ(decoded.GetTag("T"), "한글\r\n");
        ++next;
    }
    appender.join();
    EXPECT_EQ(queue.Pop(), std::nullopt);
    EXPECT_EQ(queue.Used(), 0u);
}

TEST(Framing, APacketGoesOutAsItsTextAnd0D0A00)
{
    Packet login(PKT_LOGIN);
    login.AddTagInt("P-ID", 0);
    login.AddTagInt("P-CP", 5);
    login.AddTagInt("P-REF", 0);
    login.AddTag("P-VER", "2.0");
    EXPECT_EQ(EncodeFrame(login.GetText()),
              "<PKT><GBN>1</GBN><P-ID>0</P-ID><P-CP>5</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>\r\n\0"s);
    EXPECT_EQ(EncodeFrame("<PKT>한\r\n</PKT>"), "<PKT>\xED\x95\x9C\r\n</PKT>\r\n\0"s);
    EXPECT_EQ(EncodeFrame(""), "\r\n\0"s);
}

TEST(Framing, NothingIsSentWithoutAConnection)
{
    platform::TcpSocket none;
    std::atomic<int> connected{1};
    EXPECT_EQ(SendFrame(none, connected, Packet(PKT_PING)), -1);
    EXPECT_EQ(connected.load(), 1);   // nothing was tried, so nothing failed
}

} // namespace
