#pragma once
// Alert sounds.

#include <string_view>

namespace platform {

// Starts playing a WAVE sound (the bytes of a whole RIFF/WAVE file) and returns at once; a sound
// still playing is cut off. The bytes are copied. Sounds that cannot be played are ignored.
void playSound(std::string_view wave);

} // namespace platform
