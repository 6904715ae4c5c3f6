// Display texts formatted into fixed buffers: what does not fit is cut, which
// for a text shown to a person is better than no text (vsnprintf, so the
// compiler does not ask each caller to prove its texts fit).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

inline void format_cut(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(out, size, format, args);
  va_end(args);
}
