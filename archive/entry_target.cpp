// The entry name check and the target path of an entry.
#include "archive/entry_target.h"

#include <cstring>

#include "archive/layout.h"
#include "foundation/path.h"

namespace {

constexpr size_t ENTRY_NAME_MAX = ENTRY_NAME_SIZE - 1;

bool only_dots_and_spaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
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
  size_t start = 0;
  for (;;) {
    size_t end = name.find('\\', start);
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
  const char* part = name;
  if (!use_paths) {
    const char* last = strrchr(name, '\\');
    if (last != nullptr) part = last + 1;
  }
  size_t base_length = strlen(base);
  size_t part_length = strlen(part);
  if (base_length + part_length >= size) return ERROR_ENTRY_NAME;
  memcpy(target, base, base_length);
  memcpy(target + base_length, part, part_length + 1);
  for (size_t i = base_length; i < base_length + part_length; ++i)
    if (target[i] == '\\') target[i] = PATH_SEPARATOR;
  return 0;
}
