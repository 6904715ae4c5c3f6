// Checks entry names before anything is written, so an archive made here
// cannot carry a name that escapes the destination on any extractor.
#include "tools/qpk/entry_name.h"

#include "archive/layout.h"

namespace {

constexpr size_t ENTRY_NAME_MAX = ENTRY_NAME_SIZE - 1;

// "..", "." and, because Win32 drops trailing dots and spaces, "...", ". ."
// and their kin all mean the folder itself or its parent.
bool only_dots_and_spaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

}  // namespace

const char* entry_name_problem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.size() > ENTRY_NAME_MAX) return "the name is longer than 127 characters";
  if (name.front() == '\\') return "the name is absolute";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
    if (c == ':') return "the name holds ':' (a drive or stream)";
    if (c == '/') return "the name holds '/'";
  }
  size_t start = 0;
  for (;;) {
    size_t end = name.find('\\', start);
    std::string_view component = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (component.empty()) return "the name has an empty component";
    if (only_dots_and_spaces(component)) return "the name has a '.' or '..' component";
    if (end == std::string_view::npos) return nullptr;
    start = end + 1;
  }
}

std::string entry_name_from_relative(std::string_view relative) {
  std::string name(relative);
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}
