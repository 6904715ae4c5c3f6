// Win32 back-end of ANSI names: double-byte characters and the conversion of
// ANSI text to UTF-8, in the system's ANSI code page (or a test's).
#include <windows.h>

#include "foundation/backend.h"
#include "foundation/win32/code_page.h"
#include "foundation/win32/wide_path.h"

namespace {

UINT ansi_code_page = CP_ACP;

}  // namespace

void os_set_ansi_code_page(unsigned code_page) { ansi_code_page = code_page != 0 ? code_page : CP_ACP; }

size_t os_ansi_char_size(const char* text) {
  // As the system's own stepping: a lead byte before the end takes the next
  // byte with it, whatever that byte is ("\" included).
  const BYTE lead = static_cast<BYTE>(text[0]);
  return lead != 0 && text[1] != '\0' && IsDBCSLeadByteEx(ansi_code_page, lead) ? 2 : 1;
}

bool os_ansi_to_utf8(const char* text, char* out, size_t size) {
  WCHAR wide[WIDE_PATH_SIZE];
  const int count = MultiByteToWideChar(ansi_code_page, 0, text, -1, wide, WIDE_PATH_SIZE);
  return count > 0 && utf8_of_wide(wide, -1, out, size);
}
