// The status window class and procedure, the About box, the centring rule
// and the registration of both window classes.
#include "ui/center.h"
#include "ui/win32/window_text.h"
#include "ui/win32/windows_ui.h"
#include "ui/window.h"

constexpr UINT CLASS_STYLE = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

void ui_center_window(HWND window) {
  RECT rect;
  RECT work;
  GetWindowRect(window, &rect);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int x = ui_center_origin(work.right - work.left, rect.right - rect.left);
  int y = ui_center_origin(work.bottom - work.top, rect.bottom - rect.top);
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static INT_PTR CALLBACK about_proc(HWND box, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    ui_center_window(box);
    return TRUE;  // the platform focuses OK
  }
  if (message == WM_COMMAND && (wparam == IDOK || wparam == IDCANCEL)) {
    EndDialog(box, wparam == IDOK ? 1 : 0);
    return TRUE;
  }
  return FALSE;
}

LRESULT CALLBACK status_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      ui_center_window(window);
      ShowWindow(window, SW_SHOW);
      ui_set_window_text(window, ui_title());
      HMENU menu = GetSystemMenu(window, FALSE);
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(menu, MF_STRING, MENU_ABOUT, "About...");
      ui_status_created();
      break;
    }
    case WM_COMMAND:
      ui_status_command(window, static_cast<unsigned>(wparam));
      break;
    case WM_SYSCOMMAND:
      if (LOWORD(wparam) == MENU_ABOUT)
        DialogBoxParamA(ui_module(ui_instance()), RESOURCE_NAME(RESOURCE_ABOUT_DIALOG), window, about_proc, 0);
      break;
    default:
      break;
  }
  // The status window gets no default dialog handling, only the window's.
  return DefWindowProcA(window, message, wparam, lparam);
}

// The back-end's start registers the splash and status window classes, its
// stop unregisters them.
void window_backend_start() {
  HINSTANCE module = GetModuleHandleA(nullptr);
  WNDCLASSA splash = {};
  splash.style = CLASS_STYLE;
  splash.lpfnWndProc = splash_window_proc;
  splash.hInstance = module;
  splash.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  splash.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  splash.lpszClassName = SPLASH_CLASS;
  RegisterClassA(&splash);

  WNDCLASSA status = {};
  status.style = CLASS_STYLE;
  status.lpfnWndProc = status_window_proc;
  status.cbWndExtra = DLGWINDOWEXTRA;
  status.hInstance = module;
  status.hIcon = LoadIconA(ui_module(ui_instance()), RESOURCE_NAME(RESOURCE_ICON));
  status.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  status.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  status.lpszClassName = STATUS_CLASS;
  RegisterClassA(&status);
}

void window_backend_stop() {
  HINSTANCE module = GetModuleHandleA(nullptr);
  UnregisterClassA(STATUS_CLASS, module);
  UnregisterClassA(SPLASH_CLASS, module);
}
