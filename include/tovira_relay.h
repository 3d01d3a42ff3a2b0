/*
 * tovira_relay.h — what Tovira hands to a target application.
 *
 * Tovira relays the state of a five-button switch through an 8-byte named
 * shared-memory block and, for the "Quorandel" target, through two window
 * messages. This header describes both, for C and C++ on Windows; it declares no
 * functions and needs no library. docs/INTEGRATION.md explains it with
 * tools/target_monitor_win32.cpp as the worked example, and
 * tools/target_order_check.py checks a recorded run against the write order.
 *
 * The block
 *   Name (an ANSI name in the session's namespace, no "Global\\" prefix):
 *     mode 1 (Velmora) and mode 3 (Harmoa): TOVIRA_BLOCK_NAME_VELMORA
 *     mode 2 (Quorandel):                   TOVIRA_BLOCK_NAME_QUORANDEL
 *   Size: TOVIRA_BLOCK_SIZE bytes, page-file backed (CreateFileMappingA with
 *   INVALID_HANDLE_VALUE). Either side may create it; open it with
 *   OpenFileMappingA(FILE_MAP_READ, FALSE, name) or create it the same way.
 *
 *   Byte TOVIRA_OFFSET_CONNECTED: 1 while the switch is connected, 0 when not.
 *   Byte TOVIRA_OFFSET_STATE:     the switch state of the last frame:
 *                                 bits 0-4 buttons 1-5 (1 = pressed),
 *                                 bit 7 battery low, bits 5-6 reserved.
 *   Bytes 2-7:                    filler (TOVIRA_FILLER while Tovira runs).
 *
 * Write order (a reader may read at any time: there is no lock)
 *   Bytes 0 and 1 are written one whole byte at a time; the 32-bit stores below
 *   are single aligned stores (the view is page-aligned). Over time:
 *   Start:      00 00 FF FF at offset 0, then FF FF FF FF at offset 4 (two
 *               32-bit stores): 00 00 FF FF FF FF FF FF. Bytes 0 and 1 are
 *               never FF.
 *   Port open:  byte 0 = 1, and nothing else. Byte 1 keeps what it holds, which
 *               has no button bit (see "Link lost"), so an open never shows an
 *               old press. Frames within about a second of the open are dropped.
 *   Each frame: in mode 2 first the frame's message (see below), then byte 0 = 1,
 *               then byte 1 = the frame's state. The message always precedes the
 *               block write of its frame.
 *   Link lost:  when DSR drops, the port vanishes, a read fails, another switch
 *               is chosen, the PC resumes, or Tovira ends: in mode 2 first a
 *               release message when the last frame had a button down; then
 *               byte 1 = byte 1 with its button bits (TOVIRA_STATE_BUTTONS)
 *               cleared, bits 5-7 kept (only while byte 1 still holds Tovira's
 *               own last write); then byte 0 = 0, unless the mode's interface
 *               process runs. So 01 84 .. reads 01 80 .. and then 00 80 ..; the
 *               next open gives 01 80 ..
 *   Exit:       the link is lost as above, then byte 0 = 0, then 32-bit zeros at
 *               offset 0 and then at offset 4: all eight bytes 0.
 *   While the mode's interface process runs ("VELMORAX.EXE" in mode 1,
 *   "QUORINSVC.EXE" in mode 2, none in mode 3) it owns the block: at a loss
 *   Tovira leaves byte 0 as it is (it still clears byte 1's button bits), and at
 *   the exit it leaves all eight bytes as the exit's loss left them. Tovira
 *   looks for the process at every loss and at the exit.
 *   In between, a reader may see: at the start 00 00 FF FF 00 00 00 00 (in a
 *   block the target created); at a loss 01 with byte 1's button bits
 *   cleared, before byte 0 goes 0; at the exit 00 00 00 00 FF FF FF FF. Take
 *   byte 0 as connected only when it is exactly 1, and act on byte 1 only
 *   then: byte 0 is 1 with an old press never, and 0 with a button bit never.
 *   A poller can miss a state that lasts less than its period.
 *
 * The messages (mode 2 only)
 *   Posted (never sent) to the top-level window of class TOVIRA_NAVIGATOR_CLASS
 *   (found with FindWindowA(class, NULL) for every message) when it exists, each
 *   before the block write of its frame:
 *     TOVIRA_MSG_PRESS   wParam = index 0-4 of the lowest pressed button, lParam 0:
 *                        one with every frame while a button is down.
 *     TOVIRA_MSG_RELEASE wParam = index of the lowest button of the last press
 *                        posted, lParam 0: one with every frame with no button down
 *                        (battery and bits 5-6 aside), also before any press was
 *                        seen (then wParam 0), and one when the switch is lost
 *                        while the last frame had a button down.
 *   So a target sees repeated presses while a button is held and repeated
 *   releases while none is; a release can come with no press before it (the
 *   first idle frame, a press that went to an earlier window, or one made
 *   before the target's window existed); a change from one button to another
 *   gives a press with no release between.
 *   Treat each message as the current state, not as an edge.
 *   The message numbers are fixed values above WM_USER (0x400), in the range a
 *   window class defines for itself; they are not registered window messages
 *   (RegisterWindowMessage).
 *   An elevated target receives no posted messages from a Tovira that is not
 *   elevated (User Interface Privilege Isolation) unless its window allows them:
 *     ChangeWindowMessageFilterEx(hwnd, TOVIRA_MSG_PRESS, MSGFLT_ALLOW, NULL);
 *     ChangeWindowMessageFilterEx(hwnd, TOVIRA_MSG_RELEASE, MSGFLT_ALLOW, NULL);
 *
 * Is Tovira there?
 *   The block keeps its last bytes when Tovira ends without its exit steps (a
 *   crash, a killed process) while another process holds it open: byte 0 may
 *   stay 1. A target that must know checks that Tovira's window (class
 *   TOVIRA_MAIN_WINDOW_CLASS_W, FindWindowW(class, NULL)) exists, and treats
 *   the block as "no switch" when it does not.
 *
 * Tovira's own window
 *   Class TOVIRA_MAIN_WINDOW_CLASS_W, title "トヴィラ" (UTF-16). Closing it
 *   (WM_CLOSE) ends Tovira in order: settings saved, the block released as above.
 */
#ifndef TOVIRA_RELAY_H
#define TOVIRA_RELAY_H

#define TOVIRA_BLOCK_NAME_VELMORA "VELMORAX-SHARED-MEMORY"
#define TOVIRA_BLOCK_NAME_QUORANDEL "QUORINDEX-SHARED-MEMORY"
#define TOVIRA_BLOCK_SIZE 8
#define TOVIRA_OFFSET_CONNECTED 0
#define TOVIRA_OFFSET_STATE 1
#define TOVIRA_FILLER 0xFF

#define TOVIRA_STATE_BUTTONS 0x1F
#define TOVIRA_STATE_BUTTON(index) (1 << (index)) /* index 0-4: buttons 1-5 */
#define TOVIRA_STATE_BATTERY_LOW 0x80

#define TOVIRA_NAVIGATOR_CLASS "Quorandel"
#define TOVIRA_MSG_PRESS 0x92A
#define TOVIRA_MSG_RELEASE 0x929

#define TOVIRA_INTERFACE_PROCESS_VELMORA "VELMORAX.EXE"
#define TOVIRA_INTERFACE_PROCESS_QUORANDEL "QUORINSVC.EXE"

#define TOVIRA_MAIN_WINDOW_CLASS_W L"ToviraMainWindow"

#endif /* TOVIRA_RELAY_H */
