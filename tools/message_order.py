#!/usr/bin/env python3
"""Whether a burst's navigator messages are exactly those its frames call for.

    message_order.py SWITCH.jsonl TARGET.jsonl

Checks the last burst of the virtual switch against the last messages the target
monitor saw. The messages a burst calls for come from the host build's
expected_messages (build/host/tools), the account the end-to-end scenarios use."""
import json
import pathlib
import subprocess
import sys

EXPECTED_MESSAGES = pathlib.Path(__file__).resolve().parent.parent / "build/host/tools/expected_messages"


def load(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.startswith("{")]


def burst_messages(frames):
    out = subprocess.run([str(EXPECTED_MESSAGES), "--burst", str(frames)], check=True, capture_output=True,
                         text=True).stdout
    return [(event, int(button)) for event, button in (line.split() for line in out.splitlines())]


def main():
    bursts = [e for e in load(sys.argv[1]) if e.get("action") == "burst"]
    messages = [(e["event"], e["wParam"]) for e in load(sys.argv[2]) if e.get("event") in ("press", "release")]
    if not bursts:
        print("burst order: no burst")
        return 1
    frames = bursts[-1]["frames"]
    wanted = burst_messages(frames)
    got = messages[-frames:]
    if got == wanted:
        print(f"burst order: all {frames} messages as the frames call for, in order")
        return 0
    first = next((i for i, (a, b) in enumerate(zip(got, wanted)) if a != b), min(len(got), len(wanted)))
    print(f"burst order: WRONG from message {first} of {frames} (received {len(got)})")
    return 1


if __name__ == "__main__":
    sys.exit(main())
