#!/usr/bin/env python3
"""Writes the example RSSI traces in data/traces/ for `ambleguard replay`.

The traces are synthetic but shaped like real advertisements of a phone: a few readings per
second with jittered spacing, Gaussian noise of a few dB, the odd deep dip when a body blocks
the path, and lost packets that grow more common with distance. A fixed seed per trace keeps
the files stable, so rerunning this script reproduces them exactly.

Usage: scripts/make-traces.py [OUTPUT_DIR]      (default: data/traces next to this script)

Also: scripts/make-traces.py --day PATH [HOURS] writes a long at-the-desk trace at 10 readings
per second (24 hours by default), for measuring replay speed; it is not committed.
"""

import math
import random
import sys
from pathlib import Path


def phone(rng, segments, rate=4.0, dip_chance=0.02):
    """Readings along `segments`: (duration s, start dBm, end dBm, packet loss 0..1)."""
    readings = []
    t = 0.0
    start = 0.0
    for duration, begin, end, loss in segments:
        while t < start + duration:
            progress = (t - start) / duration
            mean = begin + (end - begin) * progress
            if rng.random() >= loss:
                value = rng.gauss(mean, 3.0)
                if rng.random() < dip_chance:
                    value -= rng.uniform(6, 12)
                readings.append((t, max(-110, min(-20, round(value)))))
            t += rng.uniform(0.6, 1.4) / rate
        start += duration
    return readings


def write(path, description, readings):
    with open(path, "w", encoding="ascii") as out:
        for line in description:
            out.write(f"# {line}\n")
        out.write("t,rssi\n")
        for t, rssi in readings:
            out.write(f"{t:.3f},{rssi}\n")


def at_desk(rng):
    return phone(rng, [(300, -58, -58, 0.05)])


def walk_away_and_back(rng):
    readings = phone(rng, [
        (60, -58, -58, 0.05),   # at the desk
        (12, -58, -88, 0.2),    # walking away
        (80, -88, -88, 0.5),    # down the corridor: weak and patchy
        (10, -88, -58, 0.2),    # walking back
        (80, -58, -58, 0.05),   # at the desk again
    ])
    # A confused controller now and then: zeros and "not available" while away.
    extra = [(100.013, 0), (100.517, 0), (120.250, 127)]
    return sorted(readings + extra)


def phone_goes_quiet(rng):
    before = phone(rng, [(90, -60, -60, 0.05)])
    after = [(t + 150, rssi) for t, rssi in phone(rng, [(60, -60, -60, 0.05)])]
    return before + after


def day(path, hours):
    rng = random.Random(24)
    with open(path, "w", encoding="ascii") as out:
        out.write("t,rssi\n")
        for i in range(int(hours * 3600 * 10)):
            value = round(rng.gauss(-58, 3.0))
            out.write(f"{i / 10:.1f},{value}\n")


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "--day":
        day(sys.argv[2], float(sys.argv[3]) if len(sys.argv) > 3 else 24.0)
        return
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "data" / "traces"
    folder.mkdir(parents=True, exist_ok=True)
    write(folder / "at-desk.csv", [
        "Five minutes with the phone on the desk, about a metre away.",
        "Expect: no departure.",
    ], at_desk(random.Random(1)))
    write(folder / "walk-away-and-back.csv", [
        "A minute at the desk, a walk down the corridor, eighty seconds away, and back.",
        "Includes two zero readings and one 127 while away (rejected by the pipeline).",
        "Expect: becameGone (weak) after the walk away, returned after the walk back.",
    ], walk_away_and_back(random.Random(2)))
    write(folder / "phone-goes-quiet.csv", [
        "The phone stops advertising for a minute while still on the desk, then resumes.",
        "Expect: connection probes and a Bluetooth reset during the silence, becameGone",
        "(silent) after 30 s of silence, returned when the readings come back.",
    ], phone_goes_quiet(random.Random(3)))


if __name__ == "__main__":
    main()
