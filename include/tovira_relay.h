/*
 * tovira_relay.h — what Tovira hands to a target application.
 *
 * Tovira relays the state of a five-button switch through an 8-byte named
 * shared-memory block and, for the "Quorandel" target, through two window
 * messages. This header describes both, for C and C++ on Windows; it declares no
 * functions and needs no library. docs/INTEGRATION.md explains it with
 * tools/target_monitor_win32.cpp as the worked example.
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
 * Write order
 *   At start:  bytes 0-3 then bytes 4-7 are set to 0xFF (two 32-bit stores),
 *              then byte 0 = 0 and byte 1 = 0.
 *   Per frame: byte 0 = 1, then byte 1 = state. A reader that sees byte 0 = 1
 *              may read byte 1 at any time; each byte is written whole.
 *   Link lost: byte 0 = 0 (unless the mode's interface process runs, see below);
 *              byte 1 keeps the last state.
 *   At exit:   byte 0 = 0, then all eight bytes 0 (two 32-bit stores) — unless the
 *              mode's interface process runs ("VELMORAX.EXE" in mode 1,
 *              "QUORINSVC.EXE" in mode 2), which then owns the block.
 *
 * The messages (mode 2 only)
 *   Posted (never sent) to the top-level window of class TOVIRA_NAVIGATOR_CLASS
 *   (found with FindWindowA(class, NULL) on every frame) when it exists:
 *     TOVIRA_MSG_PRESS   wParam = index 0-4 of the lowest pressed button, lParam 0:
 *                        one with every frame while a button is down.
 *     TOVIRA_MSG_RELEASE wParam = index of the button of the last press, lParam 0:
 *                        one with every frame with no button down (after the
 *                        first press Tovira saw), and one when the switch is lost
 *                        while a button is held.
 *   So a target sees repeated presses while a button is held and repeated
 *   releases while none is; a release can come with no press before it (the
 *   press went to an earlier window, or before the target's window existed); a
 *   change from one button to another gives a press with no release between.
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
