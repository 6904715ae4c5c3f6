// Win32 back-end of names on the terminal: an ANSI name as it is, a UTF-8 one
// converted to the console's code page. Only qpk links it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"
#include "foundation/win32/wide_path.h"

void os_shown_name(const char* name, char* out, size_t size) {
  if (size == 0) return;
  if (text_is_wide_utf8(std::string_view(name, strlen(name)))) {
    WCHAR wide[WIDE_PATH_SIZE];
    const UINT console = GetConsoleOutputCP();
    if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, WIDE_PATH_SIZE) != 0 &&
        WideCharToMultiByte(console != 0 ? console : CP_ACP, 0, wide, -1, out, static_cast<int>(size), nullptr,
                            nullptr) != 0)
      return;
  }
  snprintf(out, size, "%s", name);
}
