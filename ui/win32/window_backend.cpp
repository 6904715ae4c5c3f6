// The Win32 window back-end: the status dialog and splash window are made
// here, message boxes are shown and the message queue is drained.
#include "ui/win32/window_text.h"
#include "ui/win32/windows_ui.h"
#include "ui/window.h"

HINSTANCE ui_module(void* instance) {
  return instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
}

ui_window window_create_status(void* instance) {
  HWND window = CreateDialogParamA(ui_module(instance), RESOURCE_NAME(RESOURCE_STATUS_DIALOG), nullptr, nullptr, 0);
  if (window != nullptr) ShowWindow(window, SW_SHOW);
  return window;
}

ui_window window_create_splash(void* instance) {
  return CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, SPLASH_CLASS, SPLASH_CLASS, WS_POPUP | WS_BORDER,
                         0, 0, 0, 0, nullptr, nullptr, ui_module(instance), nullptr);
}

bool window_exists(ui_window window) { return window != nullptr && IsWindow(static_cast<HWND>(window)); }

void window_destroy(ui_window window) { DestroyWindow(static_cast<HWND>(window)); }

void window_set_item_text(ui_window window, int item, const char* text) {
  ui_set_item_text(static_cast<HWND>(window), item, text);
}

// The status window shows the current name alone.
void window_show_progress(ui_window, const extract_progress&) {}

void window_show_item(ui_window window, int item, bool show) {
  ShowWindow(GetDlgItem(static_cast<HWND>(window), item), show ? SW_SHOW : SW_HIDE);
}

void window_message_box(ui_window owner, const char* title, const char* text) {
  ui_message_box(static_cast<HWND>(owner), text, title, MB_OK);
}

void window_show_result(ui_window owner, const char* title, const char* text) {
  ui_message_box(static_cast<HWND>(owner), text, title, MB_OK);
}

bool window_ask_yes_no(ui_window owner, const char* title, const char* question) {
  return ui_message_box(static_cast<HWND>(owner), question, title, MB_YESNO) == IDYES;
}

window_answer window_ask_overwrite(ui_window owner, const char* title, const char* question) {
  return window_ask_yes_no(owner, title, question) ? ANSWER_YES : ANSWER_NO;
}

// The status window, when the window is it or one of its controls.
static HWND status_window_of(HWND window) {
  if (window == nullptr) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  char name[sizeof STATUS_CLASS + 1];
  if (root == nullptr || GetClassNameA(root, name, sizeof name) == 0) return nullptr;
  return lstrcmpiA(name, STATUS_CLASS) == 0 ? root : nullptr;
}

void window_pump() {
  // No dialog keyboard processing happens here, so Escape in the status
  // window is turned into its cancel command by hand.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      HWND status = status_window_of(message.hwnd);
      if (status != nullptr) {
        PostMessageA(status, WM_COMMAND, COMMAND_CANCEL, 0);
        continue;
      }
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void window_wait_message() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT); }

const uint32_t WINDOW_EXTRACTING_PAUSE_MS = 100;

void window_sleep(uint32_t milliseconds) { Sleep(milliseconds); }

void window_exit_process(int status) { ExitProcess(static_cast<UINT>(status)); }

bool window_can_ask() { return true; }

// A Win32 GUI program is asked to stop through its windows, which cancel.
bool window_cancel_requested() { return false; }
