// Token substitution for the recorded command: "$(Destination)" becomes the
// target path. Nothing is cut: a result that does not fit is refused.
#include "driver/substitute.h"

#include <cstring>

#include "driver/run_state.h"

namespace {

// Appends count bytes of text at *used; false when out (size bytes) cannot
// hold them and a terminating zero.
bool append(char* out, size_t size, size_t* used, const char* text, size_t count) {
  if (count >= size - *used) return false;
  memcpy(out + *used, text, count);
  *used += count;
  out[*used] = '\0';
  return true;
}

}  // namespace

int substitute_all(const char* token, const char* value, const char* text, char* out, size_t size) {
  if (size == 0) return ERROR_TEXT_TOO_LONG;
  out[0] = '\0';
  size_t used = 0;
  size_t token_length = strlen(token);
  size_t value_length = strlen(value);
  const char* rest = text;
  while (*rest != '\0') {
    const char* found = token_length > 0 ? strstr(rest, token) : nullptr;
    bool fits = found != nullptr
                    ? append(out, size, &used, rest, static_cast<size_t>(found - rest)) &&
                          append(out, size, &used, value, value_length)
                    : append(out, size, &used, rest, strlen(rest));
    if (!fits) {
      out[0] = '\0';
      return ERROR_TEXT_TOO_LONG;
    }
    if (found == nullptr) break;
    rest = found + token_length;
  }
  return 0;
}

int shell_word(const char* text, char* out, size_t size) {
  if (size == 0) return ERROR_TEXT_TOO_LONG;
  out[0] = '\0';
  size_t used = 0;
#ifdef _WIN32
  bool fits = append(out, size, &used, text, strlen(text));
#else
  // '...' keeps every byte as it is; a quote inside ends it, is escaped, and
  // a new quoted part begins.
  bool fits = append(out, size, &used, "'", 1);
  for (const char* c = text; fits && *c != '\0'; ++c)
    fits = *c == '\'' ? append(out, size, &used, "'\\''", 4) : append(out, size, &used, c, 1);
  fits = fits && append(out, size, &used, "'", 1);
#endif
  if (fits) return 0;
  out[0] = '\0';
  return ERROR_TEXT_TOO_LONG;
}

int expand_destination(const char* text, char* out, size_t size, bool as_shell_word) {
  if (!as_shell_word) return substitute_all(DESTINATION_TOKEN, g_target_path, text, out, size);
  char destination[SHELL_WORD_SIZE];
  int status = shell_word(g_target_path, destination, sizeof destination);
  return status != 0 ? status : substitute_all(DESTINATION_TOKEN, destination, text, out, size);
}
