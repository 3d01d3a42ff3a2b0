#!/usr/bin/env python3
"""Frame-to-target latency from a run's JSON lines.

    latency_report.py SWITCH.jsonl TARGET.jsonl [SAMPLES]

With SAMPLES, every frame's figure to the navigator message (ms) is added to
that file, one a line, so that runs can be pooled.

Pairs every frame the virtual switch wrote (from its stamp taken right before
the write, "sent", or for older runs the one right after it, "t"), in order, with the next change of block byte 1 to that
state and, for the navigator window, with the next press or release message; and
counts the messages received against those Tovira sends for the frames (the
rules of tools/virtual_switch/expected_messages.h: a press for every frame with
a button down, a release for every frame without one once a button was pressed,
battery bit or not, and a release when the link is lost while a button is
held). Both
sides stamp CLOCK_REALTIME (Wine's precise system time agrees with it within
0.2 ms). The monitor polls the block every millisecond, so block figures carry
up to about a millisecond of polling; message figures do not. A reply can carry
a stamp before its frame's where only the after-write stamp is there (a fast
reply beats it whenever the switch is descheduled after its write): a reply still
pairs with its frame as long as it came after the previous frame, its figure
counts as 0, and such replies are counted."""
import json
import sys


def load(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines if line.startswith("{")]


def percentile(ms, q):
    """The q-quantile (0..1) of sorted figures, the nearest rank."""
    return ms[min(len(ms) - 1, int(q * (len(ms) - 1) + 0.5))]


def stats(name, values):
    if not values:
        print(f"{name}: no samples")
        return
    ms = sorted(v * 1000.0 for v in values)
    print(f"{name}: n={len(ms)} p50={percentile(ms, 0.50):.2f} ms p99={percentile(ms, 0.99):.2f} ms "
          f"max={ms[-1]:.2f} ms")


def first_from(events, cursor, earliest, matches):
    """The first event at or after `cursor` (an index) and time `earliest` that matches."""
    for index in range(cursor, len(events)):
        if events[index]["t"] >= earliest and matches(events[index]):
            return index
    return None


def link_lost(event):
    """The switch's lines say it is gone: DSR dropped, or the port vanished."""
    return (event.get("action") == "dsr" and not event.get("on")) or event.get("action") == "vanish"


def main():
    switch, target = load(sys.argv[1]), load(sys.argv[2])
    frame_actions = ("press", "release", "state", "battery")
    frames = [e for e in switch if e.get("action") in frame_actions]
    blocks = [e for e in target if e.get("event") == "block"]
    messages = [e for e in target if e.get("event") in ("press", "release")]
    # Frames are matched in order: a change that arrives after the next frame was
    # written still belongs to its own frame (a late frame is late, not missing).
    to_block, to_message = [], []
    block_cursor = message_cursor = 0
    wanted_messages = 0
    early = 0
    previous = 0.0
    pressed = held = False  # a press was ever sent; a button is down now
    for event in switch:
        if link_lost(event):
            if held:
                wanted_messages += 1
                reply = first_from(messages, message_cursor, event["t"], lambda m: m["event"] == "release")
                if reply is not None:
                    message_cursor = reply + 1
            held = False
            continue
        if event.get("action") not in frame_actions:
            continue
        start = event.get("sent", event["t"])
        earliest, previous = previous, start
        state = f"01{event['state']:02X}"
        hit = first_from(blocks, block_cursor, earliest, lambda b: b["bytes"][0:4] == state)
        if hit is not None:
            early += blocks[hit]["t"] < start
            to_block.append(max(0.0, blocks[hit]["t"] - start))
            block_cursor = hit + 1
        held = bool(event["state"] & 0x1F)
        pressed = pressed or held
        wanted = "press" if held else ("release" if pressed else None)
        if wanted:
            wanted_messages += 1
            reply = first_from(messages, message_cursor, earliest, lambda m: m["event"] == wanted)
            if reply is not None:
                early += messages[reply]["t"] < start
                to_message.append(max(0.0, messages[reply]["t"] - start))
                message_cursor = reply + 1
    print(f"frames written: {len(frames)}; messages Tovira sends for them: {wanted_messages}, "
          f"received: {len(messages)}")
    stats("frame -> block byte 1", to_block)
    stats("frame -> navigator message", to_message)
    if early:
        print(f"replies stamped before their frame (counted as 0): {early}")
    if len(sys.argv) > 3:
        with open(sys.argv[3], "a", encoding="utf-8") as samples:
            samples.writelines(f"{v * 1000.0:.4f}\n" for v in to_message)


if __name__ == "__main__":
    main()
