#!/usr/bin/env python3
"""Whether a burst's navigator messages are exactly those its frames call for.

    message_order.py SWITCH.jsonl TARGET.jsonl

The virtual switch's burst of N frames alternates a press of buttons 1, 2, 3, 4,
5, 1, ... with a frame of no button (a release): the navigator must receive a
press and a release naming that button for each pair, in that order. Checks the
last burst against the last messages the target monitor saw."""
import json
import sys


def load(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.startswith("{")]


def main():
    bursts = [e for e in load(sys.argv[1]) if e.get("action") == "burst"]
    messages = [(e["event"], e["wParam"]) for e in load(sys.argv[2]) if e.get("event") in ("press", "release")]
    if not bursts:
        print("burst order: no burst")
        return 1
    frames = bursts[-1]["frames"]
    wanted = [("press" if i % 2 == 0 else "release", (i // 2) % 5) for i in range(frames)]
    got = messages[-frames:]
    if got == wanted:
        print(f"burst order: all {frames} messages as the frames call for, in order")
        return 0
    first = next((i for i, (a, b) in enumerate(zip(got, wanted)) if a != b), min(len(got), len(wanted)))
    print(f"burst order: WRONG from message {first} of {frames} (received {len(got)})")
    return 1


if __name__ == "__main__":
    sys.exit(main())
