/*
 * The smallest complete target, in C, from include/tovira_relay.h only: it plays
 * the "Quorandel" navigator (mode 2), takes Tovira's messages even when it runs
 * elevated, reads the block, and tells when Tovira is gone. It prints what it
 * sees; press Ctrl+C to end it. docs/INTEGRATION.md walks through it.
 */
#include <windows.h>

#include <stdio.h>

#include "tovira_relay.h"

#define POLL_TIMER 1
#define POLL_MS 50

static HANDLE g_mapping;
static const volatile unsigned char* g_block;

/* The block, once Tovira (or this program) has created it. */
static void OpenBlock(void) {
  if (g_block != NULL) return;
  g_mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, TOVIRA_BLOCK_NAME_QUORANDEL);
  if (g_mapping == NULL) return;
  g_block = (const volatile unsigned char*)MapViewOfFile(g_mapping, FILE_MAP_READ, 0, 0, TOVIRA_BLOCK_SIZE);
  if (g_block == NULL) {
    CloseHandle(g_mapping);
    g_mapping = NULL;
  }
}

/* The buttons held now: none while the switch is away or Tovira is gone. */
static int HeldButtons(void) {
  if (FindWindowW(TOVIRA_MAIN_WINDOW_CLASS_W, NULL) == NULL) return -1; /* the block may be stale */
  OpenBlock();
  if (g_block == NULL || g_block[TOVIRA_OFFSET_CONNECTED] != 1) return 0;
  return g_block[TOVIRA_OFFSET_STATE] & TOVIRA_STATE_BUTTONS;
}

static void Poll(void) {
  static int last = -2;
  const int held = HeldButtons();
  if (held == last) return;
  last = held;
  if (held < 0) {
    printf("block: Tovira is not running\n");
  } else {
    printf("block: buttons 0x%02X\n", held);
  }
  fflush(stdout);
}

static LRESULT CALLBACK NavigatorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  /* Each message is the state of one frame: repeated while a button is held or none is. */
  if (message == TOVIRA_MSG_PRESS) {
    printf("message: button %u down\n", (unsigned)wParam + 1);
    fflush(stdout);
    return 0;
  }
  if (message == TOVIRA_MSG_RELEASE) {
    printf("message: no button down (last pressed: %u)\n", (unsigned)wParam + 1);
    fflush(stdout);
    return 0;
  }
  if (message == WM_TIMER && wParam == POLL_TIMER) {
    Poll();
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int main(void) {
  WNDCLASSA windowClass = {0};
  windowClass.lpfnWndProc = NavigatorProc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = TOVIRA_NAVIGATOR_CLASS;
  if (RegisterClassA(&windowClass) == 0) return 1;
  HWND window = CreateWindowExA(0, TOVIRA_NAVIGATOR_CLASS, "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                                windowClass.hInstance, NULL);
  if (window == NULL) return 1;
  /* Elevated, this window would get nothing from a Tovira that is not: let the two messages in. */
  ChangeWindowMessageFilterEx(window, TOVIRA_MSG_PRESS, MSGFLT_ALLOW, NULL);
  ChangeWindowMessageFilterEx(window, TOVIRA_MSG_RELEASE, MSGFLT_ALLOW, NULL);
  SetTimer(window, POLL_TIMER, POLL_MS, NULL);
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
  if (g_block != NULL) UnmapViewOfFile((LPCVOID)g_block);
  if (g_mapping != NULL) CloseHandle(g_mapping);
  return 0;
}
