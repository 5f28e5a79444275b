#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pushsim {

// Cuts the byte stream of one connection into frames. A frame may end in a
// later read than the one it began in, so a cutter keeps the bytes of the
// frame that is still open; each connection therefore has its own cutter.
class FrameCutter {
public:
    virtual ~FrameCutter() = default;

    // Takes the next bytes read from the connection and returns the frames
    // they complete, oldest first, without their framing.
    virtual std::vector<std::string> cut(std::string_view bytes) = 0;
};

// How packet texts travel on one kind of push connection. Implementations are
// immutable, so one object serves every connection and thread.
class Framing {
public:
    virtual ~Framing() = default;

    // The bytes that carry one packet text on the wire.
    virtual std::string encode(std::string_view text) const = 0;

    // A fresh cutter for a connection that has just been accepted.
    virtual std::unique_ptr<FrameCutter> newCutter() const = 0;
};

}  // namespace pushsim
