#include "pushsim/tacklet_framing.h"

namespace pushsim {
namespace {

class TackletCutter final : public FrameCutter {
public:
    std::vector<std::string> cut(std::string_view bytes) override {
        pending_.append(bytes);
        std::vector<std::string> frames;
        // A terminator can straddle the previous read, so the search resumes
        // two bytes before the end of what was already searched, not at the
        // new bytes; starting from the front every time would make a long
        // frame that trickles in cost quadratic time.
        std::size_t searchFrom = searched_ >= 2 ? searched_ - 2 : 0;
        std::size_t frameStart = 0;
        for (;;) {
            const std::size_t end = pending_.find(TackletFraming::kTerminator, searchFrom);
            if (end == std::string::npos) break;
            frames.push_back(pending_.substr(frameStart, end - frameStart));
            frameStart = end + TackletFraming::kTerminator.size();
            searchFrom = frameStart;
        }
        pending_.erase(0, frameStart);
        searched_ = pending_.size();
        return frames;
    }

private:
    std::string pending_;       // bytes of the frame not yet ended
    std::size_t searched_ = 0;  // how much of pending_ was searched already
};

}  // namespace

std::string TackletFraming::encode(std::string_view text) const {
    std::string frame;
    frame.reserve(text.size() + kTerminator.size());
    frame.append(text);
    frame.append(kTerminator);
    return frame;
}

std::unique_ptr<FrameCutter> TackletFraming::newCutter() const {
    return std::make_unique<TackletCutter>();
}

}  // namespace pushsim
