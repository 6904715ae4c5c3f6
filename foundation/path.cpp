// Splitting a path into drive, directory, name and extension and joining such
// parts again, with the platform's separator rules.
#include "foundation/path.h"

#include <cstring>
#include <initializer_list>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"

namespace {

#ifdef _WIN32
constexpr bool HAS_DRIVE = true;
#else
constexpr bool HAS_DRIVE = false;
#endif

// Copies length characters of text into a PATH_SIZE part (when wanted).
bool put_part(char* part, const char* text, size_t length) {
  if (length >= PATH_SIZE) return false;
  if (part != nullptr) {
    memcpy(part, text, length);
    part[length] = 0;
  }
  return true;
}

void clear_parts(char* drive, char* dir, char* name, char* ext) {
  for (char* part : {drive, dir, name, ext})
    if (part != nullptr) part[0] = 0;
}

// Appends text to out; false when it does not fit in size bytes.
bool append(char* out, size_t size, size_t* length, const char* text, size_t text_length) {
  if (text_length >= size - *length) return false;
  memcpy(out + *length, text, text_length);
  *length += text_length;
  out[*length] = 0;
  return true;
}

}  // namespace

bool is_separator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

bool path_is_utf8(const char* path) { return text_is_utf8(path); }

const char* path_next_char(const char* p, bool utf8) { return p + (utf8 ? 1 : os_ansi_char_size(p)); }

const char* path_last_separator(const char* path) {
  const bool utf8 = path_is_utf8(path);
  const char* last = nullptr;
  for (const char* p = path; *p != 0; p = path_next_char(p, utf8))
    if (is_separator(*p)) last = p;
  return last;
}

bool path_split(const char* path, char* drive, char* dir, char* name, char* ext) {
  clear_parts(drive, dir, name, ext);
  if (path == nullptr) return false;
  const char* rest = path;
  size_t drive_length = HAS_DRIVE && path[0] != 0 && path[1] == ':' ? 2 : 0;
  rest += drive_length;

  const char* last_separator = path_last_separator(rest);
  const char* name_start = last_separator != nullptr ? last_separator + 1 : rest;
  const char* end = name_start + strlen(name_start);
  const char* dot = strrchr(name_start, '.');
  const char* ext_start = dot != nullptr ? dot : end;

  bool fits = put_part(drive, path, drive_length) &&
              put_part(dir, rest, static_cast<size_t>(name_start - rest)) &&
              put_part(name, name_start, static_cast<size_t>(ext_start - name_start)) &&
              put_part(ext, ext_start, static_cast<size_t>(end - ext_start));
  if (!fits) clear_parts(drive, dir, name, ext);
  return fits;
}

bool path_join(char* out, size_t size, const char* drive, const char* dir,
               const char* name, const char* ext) {
  if (out == nullptr || size == 0) return false;
  out[0] = 0;
  size_t length = 0;
  bool fits = true;
  if (drive != nullptr && drive[0] != 0) {
    fits = append(out, size, &length, drive, strlen(drive));
    if (fits && HAS_DRIVE && drive[strlen(drive) - 1] != ':') fits = append(out, size, &length, ":", 1);
  }
  if (fits && dir != nullptr && dir[0] != 0) {
    size_t dir_length = strlen(dir);
    fits = append(out, size, &length, dir, dir_length);
    if (fits && !is_separator(dir[dir_length - 1])) fits = append(out, size, &length, &PATH_SEPARATOR, 1);
  }
  if (fits && name != nullptr) fits = append(out, size, &length, name, strlen(name));
  if (fits && ext != nullptr && ext[0] != 0) {
    if (ext[0] != '.') fits = append(out, size, &length, ".", 1);
    if (fits) fits = append(out, size, &length, ext, strlen(ext));
  }
  if (!fits) out[0] = 0;
  return fits;
}
