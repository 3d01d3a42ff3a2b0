#!/usr/bin/env python3
"""An example target: holds a recorded run of the target monitor against the write
order a target may rely on (docs/INTEGRATION.md, "What a target may rely on").

    target_order_check.py [--interface-process-ran] RECORDING.jsonl

RECORDING is the monitor's standard output (tools/target_monitor_win32.cpp), begun
before Tovira started and ended after Tovira's exit. Prints each violation as
RECORDING:LINE: t=TIME: what, and exits 1 when there is one, 0 when there is none,
2 when the recording cannot be read. --interface-process-ran: the mode's interface
process ran, so the exit may leave the block as it was.

The monitor polls the block and takes the messages on another thread, so the order
between a message and the block write of the same frame is not checked: a
recording cannot show it. A poller can also miss a state that lasted less than its
period: a clean check is evidence, not proof."""
import argparse
import json
import sys

BUTTON_BITS = 0x1F  # TOVIRA_STATE_BUTTONS
BLOCK_NAME_WITH_MESSAGES = "QUORINDEX-SHARED-MEMORY"  # TOVIRA_BLOCK_NAME_QUORANDEL
CLEARED = "0000000000000000"
# Tovira's start as a poller can see it, in the order it is written: the block as a
# target created it, 32-bit 0000FFFF at 0, then FFFFFFFF at 4.
START = [CLEARED, "0000FFFF00000000", "0000FFFFFFFFFFFF"]
# The exit after byte 0 = 0: 32-bit zeros at 0, then at 4.
EXIT_FIRST_STORE = "00000000FFFFFFFF"


class Checker:
    def __init__(self, source, interface_process_ran):
        self.source = source
        self.interface_process_ran = interface_process_ran
        self.violations = 0
        self.phase = "starting"  # starting, running, exiting, ended
        self.start_step = -1  # the last step of START seen in this start
        self.last_block = None  # (line number, time, bytes)
        self.readings = 0
        self.last_press = None
        self.messages_expected = None  # unknown until the ready line names the block

    def report(self, number, time, text):
        self.violations += 1
        stamp = f"{time:.6f}" if isinstance(time, (int, float)) else time
        print(f"{self.source}:{number}: t={stamp}: {text}")

    def event(self, number, record):
        time = record.get("t", "?")
        kind = record.get("event")
        if kind == "ready":
            self.messages_expected = record.get("block") == BLOCK_NAME_WITH_MESSAGES
        elif kind == "block":
            self.block(number, time, record.get("bytes", ""))
        elif kind in ("press", "release"):
            self.message(number, time, kind, record.get("wParam"), record.get("lParam"))

    def block(self, number, time, hex_bytes):
        if len(hex_bytes) != 16:
            self.report(number, time, f"block reading {hex_bytes!r} is not eight bytes")
            return
        previous = self.last_block[2] if self.last_block else None
        self.last_block = (number, time, hex_bytes)
        self.readings += 1
        if self.phase in ("starting", "ended"):
            self.start(number, time, hex_bytes)
        elif self.phase == "exiting":
            if hex_bytes != CLEARED:
                self.report(number, time, f"{hex_bytes} after the exit's first 32-bit store; want {CLEARED}")
            self.phase = "ended"
        elif hex_bytes in (EXIT_FIRST_STORE, CLEARED):
            self.phase = "exiting" if hex_bytes == EXIT_FIRST_STORE else "ended"
        else:
            self.running(number, time, previous, hex_bytes)

    def start(self, number, time, hex_bytes):
        step = START.index(hex_bytes) if hex_bytes in START else -1
        if step <= self.start_step:
            late = " (was the recording begun after Tovira started?)" if self.readings == 1 else ""
            self.report(number, time, f"{hex_bytes} is no next step of Tovira's start; want, in order, "
                        f"some of {' '.join(START)}{late}")
            self.phase = "running"  # what follows is judged by the running rules
            return
        self.start_step = step
        if hex_bytes == START[-1]:
            self.phase = "running"
            self.start_step = -1

    def running(self, number, time, previous, hex_bytes):
        connected, state = int(hex_bytes[0:2], 16), int(hex_bytes[2:4], 16)
        was_connected = int(previous[0:2], 16) if previous else None
        buttons = state & BUTTON_BITS
        if hex_bytes[4:] != "FF" * 6:
            self.report(number, time, f"{hex_bytes}: bytes 2-7 are not FF while Tovira runs")
        if connected not in (0, 1):
            self.report(number, time, f"{hex_bytes}: byte 0 is neither 0 nor 1")
        elif connected == 1 and was_connected == 0 and buttons:
            self.report(number, time, f"{hex_bytes}: byte 0 went 0 -> 1 with button bits {buttons:02X} "
                        "in byte 1: an open carried an old press")
        elif connected == 0 and was_connected == 1 and buttons:
            self.report(number, time, f"{hex_bytes}: byte 0 went 1 -> 0 with button bits {buttons:02X} "
                        "in byte 1: a loss left a press")
        elif connected == 0 and buttons:
            self.report(number, time, f"{hex_bytes}: button bits {buttons:02X} in byte 1 while byte 0 is 0")

    def message(self, number, time, kind, button, extra):
        if self.messages_expected is False:
            self.report(number, time, f"a {kind} message, but only the \"Quorandel\" block's mode posts any")
        if extra != 0:
            self.report(number, time, f"{kind} with lParam {extra}; want 0")
        if kind == "press":
            if button not in range(5):
                self.report(number, time, f"press of button index {button}; want 0-4")
            self.last_press = button
            return
        wanted = 0 if self.last_press is None else self.last_press
        if button != wanted:
            before = "before any press" if self.last_press is None else f"after a press of {self.last_press}"
            self.report(number, time, f"release of {button} {before}; want {wanted}")

    def finish(self):
        if self.last_block is None:
            self.report("-", "-", "the recording holds no block reading")
        elif self.phase != "ended" and not self.interface_process_ran:
            number, time, hex_bytes = self.last_block
            self.report(number, time, f"the recording ends with the block at {hex_bytes}; "
                        f"after Tovira's exit it reads {CLEARED}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--interface-process-ran", action="store_true",
                        help="the mode's interface process ran: the exit may leave the block alone")
    parser.add_argument("recording", help="the target monitor's JSON lines")
    args = parser.parse_args()
    checker = Checker(args.recording, args.interface_process_ran)
    try:
        with open(args.recording, encoding="utf-8") as lines:
            for number, line in enumerate(lines, start=1):
                if not line.startswith("{"):
                    continue  # not the monitor's (a line Wine wrote, say)
                try:
                    record = json.loads(line)
                except json.JSONDecodeError as error:
                    checker.report(number, "?", f"not a JSON line: {error}")
                    continue
                checker.event(number, record)
    except OSError as error:
        print(f"target_order_check: {error}", file=sys.stderr)
        return 2
    checker.finish()
    if checker.violations:
        return 1
    print(f"{args.recording}: the block and the messages keep the written order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
