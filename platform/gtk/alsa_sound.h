#pragma once
// WAVE sounds played through ALSA's default device on a thread of their own. A new sound cuts
// off the one still playing; no device, or data that is not PCM WAVE, plays nothing.

#include <atomic>
#include <string_view>
#include <thread>

namespace platform::gtk {

class AlsaSound {
public:
    AlsaSound() = default;
    AlsaSound(const AlsaSound&) = delete;
    AlsaSound& operator=(const AlsaSound&) = delete;
    ~AlsaSound();

    void play(std::string_view wave);

private:
    void stop();

    std::thread player_;
    std::atomic<bool> cancel_{false};
};

} // namespace platform::gtk
