#!/usr/bin/env python3
"""Writes the program's own event sounds to resources/Sounds as short 16-bit mono WAV files.

The output is deterministic, so running this again reproduces the committed files exactly.
Usage: scripts/make-sounds.py [OUTPUT_FOLDER]
"""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050
PEAK = 0.35  # leaves headroom; the player scales by the user's volume on top of this


def tone(start_hz, end_hz, seconds, attack=0.015, decay=4.0, harmonics=((2, 0.18), (3, 0.06))):
    """A soft tone gliding from start_hz to end_hz with a quick fade-in and exponential fade-out."""
    count = int(RATE * seconds)
    samples = []
    phase = 0.0
    for i in range(count):
        t = i / RATE
        progress = i / max(count - 1, 1)
        # Glide on a logarithmic scale so the pitch change sounds even.
        freq = start_hz * (end_hz / start_hz) ** progress
        phase += 2 * math.pi * freq / RATE
        value = math.sin(phase)
        for multiple, weight in harmonics:
            value += weight * math.sin(multiple * phase)
        envelope = min(1.0, t / attack) if attack > 0 else 1.0
        envelope *= math.exp(-decay * t)
        # Fade the last 10 ms to zero so the sound never ends on a click.
        tail = (count - i) / (RATE * 0.010)
        envelope *= min(1.0, tail)
        samples.append(value * envelope)
    return samples


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def write(path, samples):
    loudest = max(abs(s) for s in samples) or 1.0
    frames = b"".join(struct.pack("<h", round(s / loudest * PEAK * 32767)) for s in samples)
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


SOUNDS = {
    # A slow glide: down when the device leaves, up when it comes back.
    "Drift-leave": lambda: tone(660, 440, 0.65, decay=3.5),
    "Drift-return": lambda: tone(440, 660, 0.65, decay=3.5),
    # Two short beats: high then low on leaving, low then high on returning.
    "Pulse-leave": lambda: tone(880, 880, 0.14, decay=12) + silence(0.05) + tone(660, 660, 0.2, decay=10),
    "Pulse-return": lambda: tone(660, 660, 0.14, decay=12) + silence(0.05) + tone(880, 880, 0.2, decay=10),
    # A low, slightly falling double note that reads as "that did not work".
    "UnlockFailed": lambda: tone(311, 294, 0.18, decay=9, harmonics=((2, 0.3), (3, 0.15)))
    + silence(0.04)
    + tone(294, 262, 0.3, decay=7, harmonics=((2, 0.3), (3, 0.15))),
}


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources" / "Sounds"
    folder.mkdir(parents=True, exist_ok=True)
    for name, make in SOUNDS.items():
        write(folder / f"{name}.wav", make())
        print(folder / f"{name}.wav")


if __name__ == "__main__":
    main()
