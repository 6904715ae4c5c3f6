// POSIX back-end of ANSI names: Linux has no ANSI code page, so a name that
// is not UTF-8 is read as Windows-1252, the code page of most such archives.
#include <cstring>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"

size_t os_ansi_char_size(const char*) { return 1; }

bool os_ansi_to_utf8(const char* text, char* out, size_t size) {
  return text_cp1252_to_utf8(std::string_view(text, strlen(text)), out, size);
}
