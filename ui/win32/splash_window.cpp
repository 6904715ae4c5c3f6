// The splash window: the bitmap resource RESOURCE_SPLASH_BITMAP at its own
// size, centred, on top, closing itself after 3000 ms or at the first left
// click.
#include <cstdlib>

#include "ui/bitmap.h"
#include "ui/resource_ids.h"
#include "ui/win32/windows_ui.h"

constexpr UINT_PTR SPLASH_TIMER = 0;
constexpr UINT SPLASH_MILLISECONDS = 3000;

// Loaded once and kept until the process ends.
static const void* splash_bitmap = nullptr;

void ui_draw_bitmap(HDC dc, int x, int y, const void* bitmap) {
  const void* bits = ui_bitmap_bits(bitmap);
  if (bits == nullptr) return;
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  int height = std::abs(info.height);
  StretchDIBits(dc, x, y, info.width, height, 0, 0, info.width, height, bits,
                static_cast<const BITMAPINFO*>(bitmap), DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK splash_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      ui_load_bitmap(GetModuleHandleA(nullptr), RESOURCE_NAME(RESOURCE_SPLASH_BITMAP), &splash_bitmap);
      // Without a bitmap the window stays 0 by 0 and still closes on time.
      int width = 0;
      int height = 0;
      if (splash_bitmap != nullptr) {
        ui_bitmap_info info = ui_bitmap_read_info(splash_bitmap);
        width = info.width;
        height = std::abs(info.height);
      }
      MoveWindow(window, 0, 0, width, height, FALSE);
      ui_center_window(window);
      ShowWindow(window, SW_SHOW);
      SetTimer(window, SPLASH_TIMER, SPLASH_MILLISECONDS, nullptr);
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (splash_bitmap != nullptr) ui_draw_bitmap(dc, 0, 0, splash_bitmap);
      EndPaint(window, &paint);
      break;
    }
    case WM_TIMER:
      KillTimer(window, SPLASH_TIMER);
      DestroyWindow(window);
      return 0;
    case WM_LBUTTONDOWN:
      DestroyWindow(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
