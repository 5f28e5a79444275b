#include "alsa_sound.h"

#include <alsa/asoundlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace platform::gtk {

namespace {

struct Pcm {
    unsigned channels = 0;
    unsigned rate = 0;
    unsigned bits = 0;
    std::string samples;
};

std::uint32_t le32(const char* p)
{
    return static_cast<std::uint8_t>(p[0]) | static_cast<std::uint8_t>(p[1]) << 8 |
           static_cast<std::uint8_t>(p[2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[3])) << 24;
}
std::uint16_t le16(const char* p) { return static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) | static_cast<std::uint8_t>(p[1]) << 8); }

// The format and samples of a RIFF WAVE file with PCM data of 8 or 16 bits.
std::optional<Pcm> parseWave(std::string_view w)
{
    if (w.size() < 12 || w.substr(0, 4) != "RIFF" || w.substr(8, 4) != "WAVE")
        return std::nullopt;
    Pcm pcm;
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= w.size();) {
        const std::string_view id = w.substr(at, 4);
        const std::uint32_t size = le32(w.data() + at + 4);
        const std::size_t body = at + 8;
        if (size > w.size() - body)
            return std::nullopt;
        if (id == "fmt " && size >= 16) {
            if (le16(w.data() + body) != 1)   // PCM only
                return std::nullopt;
            pcm.channels = le16(w.data() + body + 2);
            pcm.rate = le32(w.data() + body + 4);
            pcm.bits = le16(w.data() + body + 14);
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            pcm.samples.assign(w.substr(body, size));
            if ((pcm.bits != 8 && pcm.bits != 16) || pcm.channels < 1 || pcm.channels > 2 || pcm.rate == 0)
                return std::nullopt;
            return pcm;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

// ALSA reports a missing device on stderr by itself; a desktop without sound just stays quiet.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

} // namespace

AlsaSound::~AlsaSound() { stop(); }

void AlsaSound::stop()
{
    cancel_ = true;
    if (player_.joinable())
        player_.join();
    cancel_ = false;
}

void AlsaSound::play(std::string_view wave)
{
    stop();
    auto pcm = parseWave(wave);
    if (!pcm)
        return;
    static const bool quiet = (snd_lib_error_set_handler(quietErrors), true);
    (void)quiet;
    player_ = std::thread([this, pcm = std::move(*pcm)] {
        snd_pcm_t* device = nullptr;
        if (snd_pcm_open(&device, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
            return;
        const snd_pcm_format_t format = pcm.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
        if (snd_pcm_set_params(device, format, SND_PCM_ACCESS_RW_INTERLEAVED, pcm.channels, pcm.rate, 1, 100000) < 0) {
            snd_pcm_close(device);
            return;
        }
        const std::size_t frameBytes = pcm.channels * pcm.bits / 8;
        const std::size_t frames = pcm.samples.size() / frameBytes;
        // Short writes keep a cut-off prompt: the thread looks at the flag between them.
        const std::size_t chunk = pcm.rate / 20;
        for (std::size_t done = 0; done < frames && !cancel_;) {
            const std::size_t n = std::min(chunk, frames - done);
            snd_pcm_sframes_t written = snd_pcm_writei(device, pcm.samples.data() + done * frameBytes, n);
            if (written < 0)
                written = snd_pcm_recover(device, static_cast<int>(written), 1);
            if (written < 0)
                break;
            done += static_cast<std::size_t>(written);
        }
        if (cancel_)
            snd_pcm_drop(device);
        else
            snd_pcm_drain(device);
        snd_pcm_close(device);
    });
}

} // namespace platform::gtk
