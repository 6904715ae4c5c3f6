// The probe's direct platform calls; kept apart so that <windows.h> never
// meets the status headers.
#include "tests/gui/probe_windows.h"

#include <windows.h>

#include "ui/resource_ids.h"

bool probe_item_rect(void* window, int item, int* x, int* y, int* width, int* height) {
  RECT rect;
  HWND control = GetDlgItem(static_cast<HWND>(window), item);
  if (control == nullptr || !GetWindowRect(control, &rect)) return false;
  *x = rect.left;
  *y = rect.top;
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  return true;
}

void probe_open_about(void* window) { PostMessageA(static_cast<HWND>(window), WM_SYSCOMMAND, MENU_ABOUT, 0); }
