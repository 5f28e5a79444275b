#!/usr/bin/env python3
"""Writes the two alert sounds into sound/ beside this script.

316.wav: the note alert, a rising three-note chime, PCM mono 22,050 Hz 16-bit, 2.1 s.
351.wav: the alarm box and strip alert, a two-note ding, PCM mono 11,025 Hz 8-bit, 0.7 s.

The output is committed; the build does not run this script. Only the standard
library is used, and the result is the same on every run.
"""

import math
import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def bell(t, freq, decay):
    """A soft bell tone: a short attack, an exponential fade, a quiet octave."""
    if t < 0:
        return 0.0
    attack = min(1.0, t / 0.008)
    envelope = attack * math.exp(-t / decay)
    return envelope * (math.sin(2 * math.pi * freq * t) + 0.25 * math.sin(4 * math.pi * freq * t))


def render(rate, seconds, notes):
    """Samples in -1..1 of the notes (start s, frequency Hz, decay s), faded out at the end."""
    count = int(rate * seconds)
    fade = int(rate * 0.05)
    samples = []
    for i in range(count):
        t = i / rate
        value = sum(bell(t - start, freq, decay) for start, freq, decay in notes)
        if i >= count - fade:
            value *= (count - i) / fade
        samples.append(value)
    peak = max(abs(s) for s in samples)
    return [s / peak * 0.8 for s in samples]


def write(name, rate, width, samples):
    with wave.open(os.path.join(HERE, "sound", name), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(width)
        out.setframerate(rate)
        if width == 2:
            frames = b"".join(struct.pack("<h", round(s * 32767)) for s in samples)
        else:
            # 8-bit PCM is unsigned, silence at 128.
            frames = bytes(128 + round(s * 127) for s in samples)
        out.writeframes(frames)


def main():
    os.makedirs(os.path.join(HERE, "sound"), exist_ok=True)
    # E5, G#5, B5: an E major arpeggio.
    chime = [(0.00, 659.26, 0.35), (0.18, 830.61, 0.40), (0.36, 987.77, 0.60)]
    write("316.wav", 22050, 2, render(22050, 2.1, chime))
    # A5 then E5.
    ding = [(0.00, 880.00, 0.12), (0.22, 659.26, 0.16)]
    write("351.wav", 11025, 1, render(11025, 0.7, ding))


if __name__ == "__main__":
    main()
