// The packet codec: first match, case-sensitive names, verbatim values.

#include "packet.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(Packet, CreateAndAddBuildTheCanonicalText)
{
    Packet login(PKT_LOGIN);
    login.AddTagInt("P-ID", 0);
    login.AddTagInt("P-CP", 5);
    login.AddTagInt("P-REF", 0);
    login.AddTag("P-VER", "2.0");
    EXPECT_EQ(login.GetText(), "<PKT><GBN>1</GBN><P-ID>0</P-ID><P-CP>5</P-CP><P-REF>0</P-REF><P-VER>2.0</P-VER></PKT>");

    struct Case {
        const char* before;
        const char* after;
    } adds[] = {
        {"", ""},                                       // no "</PKT>": unchanged
        {"free text", "free text"},
        {"<PKT></PKT>x</PKT>", "<PKT><A>1</A></PKT>x</PKT>"},   // before the first marker
    };
    for (const Case& c : adds) {
        Packet p{std::string(c.before)};
        p.AddTag("A", "1");
        EXPECT_EQ(p.GetText(), c.after) << c.before;
    }
}

TEST(Packet, GetTagTakesTheFirstMatchAndSearchesTheCloseMarkerFromTheStart)
{
    struct Case {
        const char* text;
        const char* name;
        const char* expected;
    } cases[] = {
        {"<PKT><GBN>1</GBN><P-ID>7</P-ID></PKT>", "ID", "dflt"},   // "<ID>" is not inside "<P-ID>"
        {"<PKT><gbn>3</gbn></PKT>", "GBN", "dflt"},                 // case-sensitive
        {"<PKT><A>1</A><A>2</A></PKT>", "A", "1"},
        {"<A><A>x</A></A>", "A", "<A>x"},
        {"</A><A>x</A>", "A", ""},                                 // close marker before the value
        {"<PKT><GBN>2</GBN><B>1</B></PKT>", "PKT", "<GBN>2</GBN><B>1</B>"},
        {"<PKT><M><img src=x.gif>한글</M></PKT>", "M", "<img src=x.gif>한글"},
        {"<PKT><A>open only</PKT>", "A", "dflt"},
        {"<PKT><E></E></PKT>", "E", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Packet(std::string(c.text)).GetTag(c.name, "dflt"), c.expected) << c.text;
    EXPECT_EQ(Packet(PKT_MSG).GetTag("X"), "");
}

TEST(Packet, GetTagIntReadsLikeWcstolWith32BitLimits)
{
    struct Case {
        const char* value;   // nullptr: field missing
        int expected;
    } cases[] = {
        {nullptr, -9}, {"", 0},           {"42", 42},   {"12ab", 12},
        {"ab", 0},     {"-17", -17},      {"  +8", 8},  {"\t 3 4", 3},
        {"2147483647", INT_MAX}, {"4294967295", INT_MAX}, {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN}, {"- 5", 0},
    };
    for (const Case& c : cases) {
        Packet p(PKT_VER);
        if (c.value)
            p.AddTag("N", c.value);
        EXPECT_EQ(p.GetTagInt("N", -9), c.expected) << (c.value ? c.value : "(missing)");
    }
}

TEST(Packet, RemoveAndSetTag)
{
    Packet p(std::string("<PKT><GBN>2</GBN><B>1</B><C>2</C></PKT>"));
    p.SetTagInt("B", 9);
    EXPECT_EQ(p.GetText(), "<PKT><GBN>2</GBN><C>2</C><B>9</B></PKT>");

    // Identical copies of the first value go; another value of the same name stays.
    Packet q(std::string("<PKT><A>1</A><A>2</A><A>1</A></PKT>"));
    q.RemoveTag("A");
    EXPECT_EQ(q.GetText(), "<PKT><A>2</A></PKT>");

    // A missing field removes only literally empty elements.
    Packet r(std::string("<PKT><Z></Z><Y>1</Y><Z></Z></PKT>"));
    r.RemoveTag("Z");
    EXPECT_EQ(r.GetText(), "<PKT><Y>1</Y></PKT>");

    Packet s(std::string("<PKT><T>x</T></PKT>"));
    s.SetTag("T", "<b>y</b>");
    EXPECT_EQ(s.GetTag("T"), "<b>y</b>");
}

TEST(Packet, FromUtf8DecodesExactlyTheGivenBytes)
{
    const std::string wire = "<PKT><T>\xED\x95\x9C</T></PKT>\r\n";
    Packet p(std::string("old"));
    p.FromUtf8(wire.data(), wire.size() - 2);
    EXPECT_EQ(p.GetTag("T"), "한");
    EXPECT_EQ(p.GetText().size(), wire.size() - 2);

    p.FromUtf8(wire.data(), 0);
    EXPECT_EQ(p.GetText(), "");

    // A sequence cut short or invalid bytes become U+FFFD; nothing past `length` is read.
    const char broken[] = {'<', 'T', '>', '\xED', '\x95', '<', '\xFF', 'Z'};
    p.FromUtf8(broken, 7);
    EXPECT_EQ(p.GetText(), "<T>\xEF\xBF\xBD\xEF\xBF\xBD<\xEF\xBF\xBD");
}

} // namespace
