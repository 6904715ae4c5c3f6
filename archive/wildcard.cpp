// The wildcard matcher for entry names: a pattern's directory part must begin
// the name's, and its file-name and extension parts are matched separately,
// "*" accepting the rest of a part and letters compared without case.
#include <cctype>
#include <string_view>

#include "archive/wildcard.h"

namespace {

struct name_parts {
  std::string_view directory;
  std::string_view name;
  std::string_view extension;
};

// Entry names use "\" but patterns may use "/" too, on every platform.
bool is_name_separator(char c) { return c == '\\' || c == '/'; }

name_parts split_name(std::string_view text) {
  if (text.size() >= 2 && isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') text.remove_prefix(2);
  name_parts parts;
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i)
    if (is_name_separator(text[i])) last = i;
  if (last != std::string_view::npos) {
    parts.directory = std::string_view(text.data(), last + 1);
    text.remove_prefix(last + 1);
  }
  // No substr: its range check would bring the C++ exception runtime into
  // every self-extractor, and every bound here is known to hold.
  size_t dot = text.rfind('.');
  parts.name = std::string_view(text.data(), dot == std::string_view::npos ? text.size() : dot);
  if (dot != std::string_view::npos) parts.extension = std::string_view(text.data() + dot + 1, text.size() - dot - 1);
  return parts;
}

bool match_part(std::string_view pattern, std::string_view text) {
  for (size_t i = 0;; ++i) {
    if (i < pattern.size() && pattern[i] == '*') return true;
    if (i == pattern.size() || i == text.size()) return i == pattern.size() && i == text.size();
    if (toupper(static_cast<unsigned char>(pattern[i])) != toupper(static_cast<unsigned char>(text[i]))) return false;
  }
}

bool has_star(std::string_view part) { return part.find('*') != std::string_view::npos; }

}  // namespace

int wildcard_match_part(const char* pattern, const char* text) { return match_part(pattern, text) ? 1 : 0; }

int wildcard_match(const char* pattern, const char* name) {
  name_parts want = split_name(pattern);
  name_parts have = split_name(name);
  if (has_star(want.name) && want.extension.empty()) want.extension = "*";
  if (!want.directory.empty()) {
    if (!have.directory.starts_with(want.directory)) return 0;
  } else if (!has_star(want.name) && !has_star(want.extension) && !have.directory.empty()) {
    return 0;
  }
  return match_part(want.name, have.name) && match_part(want.extension, have.extension) ? 1 : 0;
}
