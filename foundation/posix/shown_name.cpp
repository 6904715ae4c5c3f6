// POSIX back-end of names on the terminal: UTF-8 as it is, an ANSI name from
// Windows read as Windows-1252. Only qpk links it.
#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"

void os_shown_name(const char* name, char* out, size_t size) {
  if (size == 0) return;
  if (!text_is_utf8(std::string_view(name, strlen(name))) && os_ansi_to_utf8(name, out, size)) return;
  snprintf(out, size, "%s", name);
}
