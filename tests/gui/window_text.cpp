// Lists the top-level windows of the session whose caption is the given
// title, with their items, so that a test can read what a message box or
// the status window shows. One line per window or item:
//   window HWND CLASS X Y WIDTH HEIGHT
//   item ID CLASS VISIBLE X Y WIDTH HEIGHT TEXT
//   unread ID          (after an item whose text could not be read in time)
// Rectangles are in screen coordinates; in the text a backslash, carriage
// return, line feed and tab are written as \\, \r, \n and \t. A busy
// program may not answer in time: its text is then left empty and marked
// unread, so that a reader can tell it from an empty text and look again.
// Usage: window_text TITLE   (exit 0 also when nothing matches)
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int TEXT_SIZE = 2048;
constexpr int CLASS_SIZE = 64;
constexpr UINT READ_TIMEOUT_MS = 2000;

void print_escaped(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    switch (*c) {
      case '\\': fputs("\\\\", stdout); break;
      case '\r': fputs("\\r", stdout); break;
      case '\n': fputs("\\n", stdout); break;
      case '\t': fputs("\\t", stdout); break;
      default: putchar(*c); break;
    }
  }
}

// The text of a window of another process: asked for with a bounded wait,
// so that a program that stopped answering cannot hang the reader. False
// when no answer came; the text is then empty.
bool read_text(HWND window, char* out, int size) {
  out[0] = '\0';
  DWORD_PTR copied = 0;
  bool answered = SendMessageTimeoutA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(out),
                                      SMTO_ABORTIFHUNG, READ_TIMEOUT_MS, &copied) != 0;
  if (!answered) out[0] = '\0';
  out[size - 1] = '\0';
  return answered;
}

void print_rect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  printf(" %ld %ld %ld %ld", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

BOOL CALLBACK print_item(HWND item, LPARAM) {
  char name[CLASS_SIZE] = "";
  GetClassNameA(item, name, CLASS_SIZE);
  static char text[TEXT_SIZE];
  bool answered = read_text(item, text, TEXT_SIZE);
  int id = GetDlgCtrlID(item);
  printf("item %d %s %d", id, name, IsWindowVisible(item) ? 1 : 0);
  print_rect(item);
  putchar(' ');
  print_escaped(text);
  putchar('\n');
  if (!answered) printf("unread %d\n", id);
  return TRUE;
}

BOOL CALLBACK print_window(HWND window, LPARAM title) {
  static char caption[TEXT_SIZE];
  read_text(window, caption, TEXT_SIZE);
  if (strcmp(caption, reinterpret_cast<const char*>(title)) != 0 || !IsWindowVisible(window)) return TRUE;
  char name[CLASS_SIZE] = "";
  GetClassNameA(window, name, CLASS_SIZE);
  printf("window %p %s", static_cast<void*>(window), name);
  print_rect(window);
  putchar('\n');
  EnumChildWindows(window, print_item, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: window_text TITLE\n", stderr);
    return 2;
  }
  EnumWindows(print_window, reinterpret_cast<LPARAM>(argv[1]));
  fflush(stdout);
  return 0;
}
