// Fuzz target: any text as a command-line tail, split in place into at most
// 15 words and parsed as the program does on every start. Every buffer the
// parser writes to has exactly its documented size, on the heap, so a write
// or read past one is a sanitizer finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/path.h"
#include "options/options.h"

namespace {

constexpr int WORD_CAPACITY = ARGUMENT_VECTOR_SIZE - 1;
constexpr size_t POSITIONAL_BUFFER_SIZE = PATH_SIZE;

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// Every word starts inside the text and ends at a zero inside it.
void check_words(const char* text, size_t size, char* const* words, int count) {
  for (int i = 0; i < count; ++i) {
    if (words[i] < text || words[i] > text + size) fail("a word starts outside the text");
    if (std::memchr(words[i], 0, static_cast<size_t>(text + size + 1 - words[i])) == nullptr) {
      fail("a word runs past the text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The tail as a writable, zero-terminated text of exactly its own size.
  auto text = std::make_unique<char[]>(size + 1);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';
  const size_t length = std::strlen(text.get());

  char program[] = "/proc/self/exe";
  char* argv[ARGUMENT_VECTOR_SIZE] = {program};
  int count = -1;
  int status = split_command_line(text.get(), &count, argv + 1, WORD_CAPACITY);
  if (count < 0 || count > WORD_CAPACITY) fail("the word count left the vector");
  if (status != 0 && status != ERROR_TOO_MANY_WORDS) fail("unexpected split status");
  check_words(text.get(), length, argv + 1, count);

  option_state options;
  if (options_init(&options) != 0) fail("options_init refused");
  status = options_parse(&options, count + 1, argv);
  if (status > 0) fail("options_parse gave a positive status");

  for (const option_definition& option : OPTION_DEFINITIONS) {
    auto parameter = std::make_unique<char[]>(OPTION_PARAMETER_SIZE);
    if (option_parameter(options, option.word, parameter.get()) >= 0 &&
        std::memchr(parameter.get(), 0, OPTION_PARAMETER_SIZE) == nullptr) {
      fail("a parameter without its zero");
    }
    (void)option_is_set(options, option.word);
  }
  const int positionals = positional_count(options);
  if (positionals < 0 || positionals > count) fail("more positional words than words");
  for (int index = -1; index <= positionals; ++index) {
    auto word = std::make_unique<char[]>(POSITIONAL_BUFFER_SIZE);
    int got = positional_get(options, index, word.get());
    bool inside = index >= 0 && index < positionals;
    if (inside && got == ERROR_NO_SUCH_POSITIONAL) fail("a positional word inside the count is missing");
    if (!inside && got != ERROR_NO_SUCH_POSITIONAL) fail("a positional word outside the count was given");
  }
  options_free(&options);
  return 0;
}
