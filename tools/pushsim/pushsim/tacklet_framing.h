#pragma once

#include "pushsim/framing.h"

#include <string_view>

namespace pushsim {

// The Tacklet connection ends every packet, in both directions, with the bytes
// 0D 0A 00 and has no length field. A frame may itself contain line breaks;
// only the full three-byte terminator ends it, and the terminator alone is an
// empty frame.
class TackletFraming final : public Framing {
public:
    static constexpr std::string_view kTerminator{"\r\n\0", 3};

    std::string encode(std::string_view text) const override;
    std::unique_ptr<FrameCutter> newCutter() const override;
};

}  // namespace pushsim
