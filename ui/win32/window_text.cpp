// Showing texts through the ANSI or the wide window functions.
#include "ui/win32/window_text.h"

#include "foundation/text_encoding.h"

namespace {

// Wide characters of a converted text with its zero: more than any text the
// user interface forms. A longer one is shown through the ANSI functions.
constexpr int WIDE_TEXT_SIZE = 2048;

struct wide_text {
  WCHAR text[WIDE_TEXT_SIZE];
};

bool shown_wide(const char* text) { return text != nullptr && text_is_wide_utf8(text); }

// Either encoding to wide text: the UTF-8 texts and, beside them in one
// call, the ANSI ones.
bool to_wide(const char* text, wide_text* out) {
  const UINT code_page = shown_wide(text) ? CP_UTF8 : CP_ACP;
  return MultiByteToWideChar(code_page, 0, text != nullptr ? text : "", -1, out->text, WIDE_TEXT_SIZE) > 0;
}

}  // namespace

void ui_set_item_text(HWND window, int item, const char* text) {
  wide_text wide;
  if (shown_wide(text) && to_wide(text, &wide))
    SetDlgItemTextW(window, item, wide.text);
  else
    SetDlgItemTextA(window, item, text);
}

void ui_set_window_text(HWND window, const char* text) {
  wide_text wide;
  if (shown_wide(text) && to_wide(text, &wide))
    SetWindowTextW(window, wide.text);
  else
    SetWindowTextA(window, text);
}

int ui_message_box(HWND owner, const char* text, const char* title, UINT type) {
  if (shown_wide(text) || shown_wide(title)) {
    wide_text wide_message, wide_title;
    if (to_wide(text, &wide_message) && to_wide(title, &wide_title))
      return MessageBoxW(owner, wide_message.text, wide_title.text, type);
  }
  return MessageBoxA(owner, text, title, type);
}
