#!/usr/bin/env python3
"""Frame-to-target latency from a run's JSON lines.

    latency_report.py SWITCH.jsonl TARGET.jsonl

Pairs every frame the virtual switch wrote (its time stamp is taken right after
the frame's second byte) with the first change of block byte 1 to that state,
and, for the navigator window, with the next press or release message. Both
sides stamp CLOCK_REALTIME (Wine's precise system time agrees with it within
0.2 ms). The monitor polls the block every millisecond, so block figures carry
up to about a millisecond of polling; message figures do not."""
import json
import sys


def load(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.startswith("{")]


def stats(name, values):
    if not values:
        print(f"{name}: no samples")
        return
    ms = sorted(v * 1000.0 for v in values)
    pick = lambda q: ms[min(len(ms) - 1, int(q * (len(ms) - 1) + 0.5))]
    print(f"{name}: n={len(ms)} p50={pick(0.50):.2f} ms p99={pick(0.99):.2f} ms max={ms[-1]:.2f} ms")


def main():
    switch, target = load(sys.argv[1]), load(sys.argv[2])
    frames = [e for e in switch if e.get("action") in ("press", "release", "state", "battery")]
    blocks = [e for e in target if e.get("event") == "block"]
    messages = [e for e in target if e.get("event") in ("press", "release")]
    to_block, to_message = [], []
    for i, frame in enumerate(frames):
        start = frame["t"]
        end = frames[i + 1]["t"] if i + 1 < len(frames) else float("inf")
        state = f"{frame['state']:02X}"
        hit = next((b for b in blocks if start <= b["t"] < end and b["bytes"][0:4] == "01" + state), None)
        if hit:
            to_block.append(hit["t"] - start)
        wanted = "press" if frame["state"] & 0x1F else ("release" if frame["state"] == 0 else None)
        if wanted:
            reply = next((m for m in messages if start <= m["t"] < end and m["event"] == wanted), None)
            if reply:
                to_message.append(reply["t"] - start)
    print(f"frames written: {len(frames)}")
    stats("frame -> block byte 1", to_block)
    stats("frame -> navigator message", to_message)


if __name__ == "__main__":
    main()
