// Converting paths between UTF-8, the ANSI code page and the wide form.
#include "foundation/win32/wide_path.h"

#include <cstring>

#include "foundation/text_encoding.h"

bool wide_path_of(const char* path, wide_path* out) {
  out->wide = text_is_wide_utf8(path);
  if (!out->wide) return true;
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, out->text, WIDE_PATH_SIZE);
  if (count == 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return count > 0;
}

bool wide_path_always(const char* path, wide_path* out) {
  if (!wide_path_of(path, out)) return false;
  if (out->wide) return true;
  out->wide = true;
  const int count = MultiByteToWideChar(CP_ACP, 0, path, -1, out->text, WIDE_PATH_SIZE);
  if (count == 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return count > 0;
}

bool utf8_of_wide(const WCHAR* text, int count, char* out, size_t size) {
  if (size == 0) return false;
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, count, out, static_cast<int>(size) - 1, nullptr, nullptr);
  if (length <= 0 && count != 0) return false;
  out[length] = '\0';
  return true;
}

bool narrow_of_wide(const WCHAR* text, int count, char* out, size_t size) {
  if (size == 0) return false;
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, count, out, static_cast<int>(size) - 1, nullptr, &lossy);
  if (length > 0 && !lossy) {
    out[length] = '\0';
    return true;
  }
  return utf8_of_wide(text, count, out, size);
}
