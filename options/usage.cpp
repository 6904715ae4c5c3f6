// The builder's usage text, put together from the option table when the
// program is compiled: a heading, then each option's word and usage line.
#include <array>
#include <cstddef>

#include "options/options.h"

namespace {

constexpr char USAGE_HEADING[] = "usage: QPK2EXE [options] {QPK file} [EXE file]\n";

constexpr size_t text_length(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

// Every character of the text and its zero: "/word" and its line for each option.
constexpr size_t usage_size() {
  size_t size = text_length(USAGE_HEADING) + 1;
  for (const option_definition& option : OPTION_DEFINITIONS)
    size += 1 + text_length(option.word) + text_length(option.usage) + 1;
  return size;
}

template <size_t SIZE>
constexpr void append(std::array<char, SIZE>& text, size_t* at, const char* part) {
  for (size_t c = 0; part[c] != '\0'; ++c) text[(*at)++] = part[c];
}

constexpr std::array<char, usage_size()> usage_text() {
  std::array<char, usage_size()> text{};
  size_t at = 0;
  append(text, &at, USAGE_HEADING);
  for (const option_definition& option : OPTION_DEFINITIONS) {
    append(text, &at, "/");
    append(text, &at, option.word);
    append(text, &at, option.usage);
    append(text, &at, "\n");
  }
  return text;
}

constexpr std::array<char, usage_size()> USAGE = usage_text();
static_assert(text_length(USAGE.data()) == USAGE.size() - 1, "the usage text fills its array up to its zero");

}  // namespace

const char* const USAGE_TEXT = USAGE.data();
