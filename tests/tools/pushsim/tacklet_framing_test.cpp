#include "pushsim/tacklet_framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// Three frames: an ordinary one, an empty one, and one with a line break and
// Korean text, followed by the start of a fourth that has not ended yet.
const std::string kStream = "A\r\n\0"s + "\r\n\0"s + "B\r\n한글\r\n\0"s + "D\r\n"s;
const std::vector<std::string> kFrames = {"A", "", "B\r\n한글"};

std::vector<std::string> cutInPieces(pushsim::FrameCutter& cutter, const std::vector<std::string>& pieces) {
    std::vector<std::string> frames;
    for (const std::string& piece : pieces) {
        for (std::string& frame : cutter.cut(piece)) frames.push_back(std::move(frame));
    }
    return frames;
}

TEST(TackletFraming, EncodeAppendsTheTerminator) {
    const pushsim::TackletFraming framing;
    EXPECT_EQ(framing.encode("<PKT><GBN>100</GBN></PKT>"), "<PKT><GBN>100</GBN></PKT>\r\n\0"s);
    EXPECT_EQ(framing.encode(""), "\r\n\0"s);
}

TEST(TackletFraming, EveryTwoPieceSplitGivesTheSameFrames) {
    const pushsim::TackletFraming framing;
    for (std::size_t split = 0; split <= kStream.size(); ++split) {
        SCOPED_TRACE("split at byte " + std::to_string(split));
        const auto cutter = framing.newCutter();
        EXPECT_EQ(cutInPieces(*cutter, {kStream.substr(0, split), kStream.substr(split)}), kFrames);
    }
}

TEST(TackletFraming, ByteByByteGivesTheSameFramesAndKeepsTheOpenOne) {
    const pushsim::TackletFraming framing;
    const auto cutter = framing.newCutter();
    std::vector<std::string> pieces;
    for (const char c : kStream) pieces.emplace_back(1, c);
    EXPECT_EQ(cutInPieces(*cutter, pieces), kFrames);
    // "D\r\n" is still held: the zero byte alone completes it.
    EXPECT_EQ(cutter->cut("\0"s), std::vector<std::string>{"D"});
}

TEST(TackletFraming, ConnectionsAreCutIndependently) {
    const pushsim::TackletFraming framing;
    const auto first = framing.newCutter();
    const auto second = framing.newCutter();
    EXPECT_TRUE(first->cut("one\r").empty());
    // Had the cutters shared the "\r", this would end the first frame here.
    EXPECT_EQ(second->cut("\n\0two\r\n\0"s), std::vector<std::string>{"\n\0two"s});
    EXPECT_EQ(first->cut("\n\0"s), std::vector<std::string>{"one"});
}

}  // namespace
