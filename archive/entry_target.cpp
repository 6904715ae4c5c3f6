// The entry name check and the target path of an entry.
#include "archive/entry_target.h"

#include <cstring>

#include "archive/layout.h"
#include "foundation/backend.h"
#include "foundation/path.h"
#include "foundation/text_encoding.h"

namespace {

constexpr size_t ENTRY_NAME_MAX = ENTRY_NAME_SIZE - 1;

bool only_dots_and_spaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

// Where the next "\" of the name from start is, read by character as the
// extraction splits it (path_next_char); npos when there is none.
size_t next_separator(std::string_view name, size_t start, bool utf8) {
  for (size_t at = start; at < name.size();) {
    if (name[at] == '\\') return at;
    // Never past the view: a lead byte in its last place is one character.
    at = at + 1 < name.size() ? static_cast<size_t>(path_next_char(name.data() + at, utf8) - name.data()) : at + 1;
  }
  return std::string_view::npos;
}

// Copies text into out at *length, bounded by size; false when it does not fit.
bool append_text(char* out, size_t size, size_t* length, const char* text) {
  const size_t text_length = strlen(text);
  if (text_length >= size - *length) return false;
  memcpy(out + *length, text, text_length + 1);
  *length += text_length;
  return true;
}

}  // namespace

const char* entry_name_problem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.size() > ENTRY_NAME_MAX) return "the name is longer than 127 bytes";
  if (name.front() == '\\') return "the name is absolute";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == ':') return "the name holds ':' (a drive or stream)";
    if (c == '/') return "the name holds '/'";
  }
  const bool utf8 = text_is_utf8(name);
  size_t start = 0;
  for (;;) {
    size_t end = next_separator(name, start, utf8);
    // Built from the pointer rather than by substr: substr's range check
    // would bring the C++ exception runtime into every self-extractor.
    size_t stop = end == std::string_view::npos ? name.size() : end;
    std::string_view component(name.data() + start, stop - start);
    if (component.empty()) return "the name has an empty component";
    if (only_dots_and_spaces(component)) return "the name has a '.' or '..' component";
    if (end == std::string_view::npos) return nullptr;
    start = end + 1;
  }
}

int entry_target_path(const char* base, const char* name, int use_paths, char* target, size_t size) {
  if (size == 0) return ERROR_ENTRY_NAME;
  const char* part = name;
  if (!use_paths) {
    const std::string_view whole(name);
    const bool utf8 = text_is_utf8(whole);
    for (size_t at = next_separator(whole, 0, utf8); at != std::string_view::npos;
         at = next_separator(whole, at + 1, utf8))
      part = name + at + 1;
  }
  target[0] = '\0';
  size_t length = 0;
  // One path, one encoding. Win32: a UTF-8 name goes to the wide functions,
  // so an ANSI base joins it converted. POSIX: names are UTF-8, so an ANSI
  // name (made on Windows) is converted; the base is the file system's own.
  const bool utf8_name = text_is_utf8(part);
  const bool convert_base = !PATH_NAMES_UTF8 && utf8_name && !text_is_ascii(part) && !text_is_ascii(base);
  const bool convert_name = PATH_NAMES_UTF8 && !utf8_name;
  if (convert_base ? !os_ansi_to_utf8(base, target, size) : !append_text(target, size, &length, base))
    return ERROR_ENTRY_NAME;
  length = strlen(target);
  const size_t base_length = length;
  if (convert_name ? !os_ansi_to_utf8(part, target + length, size - length) : !append_text(target, size, &length, part))
    return ERROR_ENTRY_NAME;
  length = strlen(target);
  // No UTF-8 character holds a "\" byte, so on POSIX every one left is a
  // separator; Win32 keeps "\" as it is.
  for (size_t i = base_length; i < length; ++i)
    if (target[i] == '\\') target[i] = PATH_SEPARATOR;
  return 0;
}
