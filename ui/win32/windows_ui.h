// The Win32 windows of the user interface: the status window and its About
// box, the splash window, and the centring and drawing they share. Included
// only by ui/win32/ files; no status header may follow <windows.h> here.
#pragma once

#include <windows.h>

#include "ui/resource_ids.h"

// The module dialogs and resources come from: the stored instance, or the
// program's own module when none was stored.
HINSTANCE ui_module(void* instance);
// Moves the window to the centre by the work-area rule, keeping its size and
// z-order.
void ui_center_window(HWND window);
// Paints a bitmap accepted by ui_load_bitmap 1:1 at x, y; nothing for any
// other header.
void ui_draw_bitmap(HDC dc, int x, int y, const void* bitmap);

LRESULT CALLBACK status_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK splash_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

constexpr char STATUS_CLASS[] = STATUS_WINDOW_CLASS;
constexpr char SPLASH_CLASS[] = SPLASH_WINDOW_CLASS;
