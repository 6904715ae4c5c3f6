// The wildcard matcher behind --exclude: the pattern and the name are cut at
// their separators and matched component by component, so no wildcard can
// reach across a folder boundary.
#include "tools/qpk/exclude.h"

namespace {

bool is_separator_char(char c) { return c == '/' || c == '\\'; }

// The end of the bracket expression opening at start, or npos when it does
// not close (the "[" is then an ordinary character).
size_t bracket_end(std::string_view pattern, size_t start) {
  size_t at = start + 1;
  if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) ++at;
  if (at < pattern.size() && pattern[at] == ']') ++at;  // a leading "]" is a member
  return pattern.find(']', at);
}

bool bracket_holds(std::string_view set, unsigned char c) {
  bool negate = !set.empty() && (set[0] == '!' || set[0] == '^');
  if (negate) set.remove_prefix(1);
  bool found = false;
  for (size_t i = 0; i < set.size(); ++i) {
    unsigned char low = static_cast<unsigned char>(set[i]);
    unsigned char high = low;
    if (i + 2 < set.size() && set[i + 1] == '-') {
      high = static_cast<unsigned char>(set[i + 2]);
      i += 2;
    }
    if (low <= c && c <= high) found = true;
  }
  return found != negate;
}

// Whether the pattern element at *at matches c; on a match *at moves past it.
bool element_matches(std::string_view pattern, size_t* at, char c) {
  char head = pattern[*at];
  if (head == '?') {
    ++*at;
    return true;
  }
  if (head == '[') {
    size_t end = bracket_end(pattern, *at);
    if (end != std::string_view::npos) {
      if (!bracket_holds(pattern.substr(*at + 1, end - *at - 1), static_cast<unsigned char>(c))) return false;
      *at = end + 1;
      return true;
    }
  }
  if (head != c) return false;
  ++*at;
  return true;
}

// One component against one component: on a mismatch the latest "*" takes
// one more character, which is enough when "*" is the only wildcard that
// spans more than one.
bool component_matches(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  size_t star = std::string_view::npos, star_text = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_text = t;
    } else if (p < pattern.size() && element_matches(pattern, &p, text[t])) {
      ++t;
    } else if (star != std::string_view::npos) {
      p = star;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The text up to its next separator, removed from the text.
std::string_view take_component(std::string_view* text) {
  size_t end = 0;
  while (end < text->size() && !is_separator_char((*text)[end])) ++end;
  std::string_view component = text->substr(0, end);
  text->remove_prefix(end < text->size() ? end + 1 : end);
  return component;
}

bool has_separator(std::string_view text) {
  for (char c : text)
    if (is_separator_char(c)) return true;
  return false;
}

}  // namespace

bool pattern_matches(std::string_view pattern, std::string_view text) {
  for (;;) {
    bool pattern_last = !has_separator(pattern);
    bool text_last = !has_separator(text);
    if (!component_matches(take_component(&pattern), take_component(&text))) return false;
    if (pattern_last || text_last) return pattern_last && text_last;
  }
}

bool name_excluded(const std::vector<std::string>& patterns, std::string_view name, bool folder) {
  std::string_view last = name;
  if (size_t cut = name.find_last_of("\\/"); cut != std::string_view::npos) last = name.substr(cut + 1);
  for (std::string_view pattern : patterns) {
    bool folders_only = false;
    while (!pattern.empty() && is_separator_char(pattern.back())) {
      pattern.remove_suffix(1);
      folders_only = true;
    }
    if (pattern.empty() || (folders_only && !folder)) continue;
    if (pattern_matches(pattern, has_separator(pattern) ? name : last)) return true;
  }
  return false;
}

std::string literal_pattern(std::string_view name) {
  std::string pattern;
  for (char c : name) {
    if (c == '*' || c == '?' || c == '[') {
      pattern += '[';
      pattern += c;
      pattern += ']';
    } else {
      pattern += c == '\\' ? '/' : c;
    }
  }
  return pattern;
}
