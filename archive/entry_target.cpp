// Entry names are untrusted input: they are checked here before any file of
// the entry is created or asked about.
#include "archive/entry_target.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "archive/extract.h"
#include "foundation/path.h"

namespace {

bool is_entry_separator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '\\';
#endif
}

// Win32 drops trailing dots and spaces from a component, so "..." or ". ."
// would name the parent too; POSIX takes such names as they stand.
bool names_parent(std::string_view component) {
#ifdef _WIN32
  if (component.find_first_not_of(". ") != std::string_view::npos) return false;
  return component.find('.') != component.rfind('.');
#else
  return component == "..";
#endif
}

bool component_allowed(std::string_view component, bool last) {
  if (names_parent(component)) return false;
  return !last || (!component.empty() && component != ".");
}

}  // namespace

int entry_name_check(const char* name) {
  std::string_view text(name);
  if (text.empty() || is_entry_separator(text[0]) || text[0] == '/') return ERROR_ENTRY_NAME;
  if (text.size() >= 2 && isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') return ERROR_ENTRY_NAME;
#ifdef _WIN32
  // A colon elsewhere names a drive or an alternate stream, never a file.
  if (text.find(':') != std::string_view::npos) return ERROR_ENTRY_NAME;
#else
  if (text.find('/') != std::string_view::npos) return ERROR_ENTRY_NAME;
#endif
  size_t start = 0;
  for (;;) {
    size_t end = start;
    while (end < text.size() && !is_entry_separator(text[end])) ++end;
    bool last = end == text.size();
    if (!component_allowed(text.substr(start, end - start), last)) return ERROR_ENTRY_NAME;
    if (last) return 0;
    start = end + 1;
  }
}

int entry_target_path(const char* base, const char* name, int use_paths, char* target, size_t size) {
  const char* part = name;
  if (!use_paths)
    for (const char* c = name; *c != '\0'; ++c)
      if (is_entry_separator(*c)) part = c + 1;
  size_t base_length = strlen(base);
  size_t part_length = strlen(part);
  if (base_length + part_length >= size) return ERROR_ENTRY_NAME;
  snprintf(target, size, "%s%s", base, part);
  for (size_t i = base_length; i < base_length + part_length; ++i)
    if (target[i] == '\\') target[i] = PATH_SEPARATOR;
  return 0;
}
