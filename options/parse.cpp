// The parse of the argument vector into option marks, parameters and
// positional words, each kept in the caller's option_state.
#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/failure.h"
#include "foundation/path.h"
#include "options/options.h"

namespace {

constexpr size_t POSITIONAL_BUFFER_SIZE = PATH_SIZE;  // the callers' buffers
constexpr size_t POSITIONAL_TABLE_BYTES = POSITIONAL_TABLE_SIZE * sizeof(char*);

// On POSIX "/" also begins every absolute path, so a "/" word is an option
// only when the rest of it names one; "/opt/setup.sh" stays an ordinary word.
bool has_option_prefix(const option_state& state, const char* word) {
  unsigned char first = static_cast<unsigned char>(word[0]);
  if (first == '\0' || !state.prefix[first]) return false;
#ifndef _WIN32
  if (first == '/') return option_find(word + 1) >= 0;
#endif
  return true;
}

// A "/" word that names no option but looks like one, on POSIX: slashes
// alone, or one name after the leading slashes (no further "/") with nothing
// of that path on disk. "/NOPATH", "//nopath", "/nopath:" or "/?" is then
// refused instead of being taken as a file in the root folder; "/opt/x" and
// an existing "/data" stay ordinary words.
bool mistyped_option(const option_state& state, const char* word) {
#ifdef _WIN32
  (void)state;
  (void)word;
  return false;
#else
  if (word[0] != '/' || !state.prefix[static_cast<unsigned char>('/')]) return false;
  const char* rest = word;
  while (*rest == '/') ++rest;
  if (*rest == '\0') return true;
  return strchr(rest, '/') == nullptr && os_get_attributes(word) == OS_ATTR_INVALID;
#endif
}

// Marks the option named by the word and takes its parameter from the next
// word when it needs one; *index then points at the consumed parameter.
int parse_option(option_state* state, int argc, char** argv, int* index) {
  int found = option_find(argv[*index] + 1);
  if (found < 0) return ERROR_INVALID_OPTION;
  option_entry* entry = &state->options[found];
  if (entry->given) return ERROR_OPTION_ALREADY_SET;
  entry->given = true;
  if (!OPTION_DEFINITIONS[found].takes_parameter) return 0;

  ++*index;
  if (*index >= argc) return ERROR_OPTION_MISSING_PARAMETER;
  const char* parameter = argv[*index];
  if (parameter == nullptr || parameter[0] == '\0' || has_option_prefix(*state, parameter))
    return ERROR_OPTION_MISSING_PARAMETER;
  if (strlen(parameter) >= sizeof entry->parameter) return ERROR_WORD_TOO_LONG;
  snprintf(entry->parameter, sizeof entry->parameter, "%s", parameter);
  return 0;
}

}  // namespace

int options_init(option_state* state) {
  options_free(state);  // a second init starts an empty list instead of leaking one
  memset(state->options, 0, sizeof state->options);
  state->stopped_at = "";
  options_set_prefixes(state, "/-");
  void* table = nullptr;
  if (os_mem_alloc(POSITIONAL_TABLE_BYTES, &table) != 0 || table == nullptr) return ERROR_OPTION_STORE;
  state->positional = static_cast<char**>(table);
  return 0;
}

void options_set_prefixes(option_state* state, const char* prefixes) {
  memset(state->prefix, 0, sizeof state->prefix);
  if (prefixes == nullptr) return;
  for (const char* c = prefixes; *c != '\0'; ++c) state->prefix[static_cast<unsigned char>(*c)] = true;
}

int option_find(const char* word) {
  if (word == nullptr) return -1;
  for (int index = 0; index < OPTION_COUNT; ++index)
    if (strcmp(OPTION_DEFINITIONS[index].word, word) == 0) return index;
  return -1;
}

int options_parse(option_state* state, int argc, char** argv) {
  for (int index = 1; index < argc; ++index) {
    const char* word = argv[index];
    state->stopped_at = word != nullptr ? word : "";
    // An empty word names neither an option nor a file: as a destination it
    // would silently mean the current directory, so it is refused.
    if (word == nullptr || word[0] == '\0') return ERROR_INVALID_OPTION;
    const bool option = has_option_prefix(*state, word);
    if (!option && mistyped_option(*state, word)) return ERROR_INVALID_OPTION;
    if (option) {
      int status = parse_option(state, argc, argv, &index);
      if (status < 0) return status;
      continue;
    }
    if (strlen(word) >= POSITIONAL_BUFFER_SIZE) {
      failure_note_too_long(word);  // a positional word names a file or folder
      return ERROR_WORD_TOO_LONG;
    }
    positional_add(state, word);  // a lost copy is not an error of the command line
  }
  return 0;
}

const char* options_stopped_at(const option_state& state) { return state.stopped_at; }

const char* options_error_text(int status) {
  switch (status) {
    case ERROR_OPTION_MISSING_PARAMETER: return "ERROR: Option missing parameter";
    case ERROR_OPTION_ALREADY_SET: return "ERROR: Option already set";
    case ERROR_INVALID_OPTION: return "ERROR: Invalid option";
    case ERROR_TOO_MANY_WORDS: return "ERROR: Too many words on the command line";
    case ERROR_WORD_TOO_LONG: return "ERROR: Word too long";
    default: return nullptr;
  }
}

int option_is_set(const option_state& state, const char* word) {
  int index = option_find(word);
  return index >= 0 && state.options[index].given ? 1 : 0;
}

int option_parameter(const option_state& state, const char* word, char* out) {
  int index = option_find(word);
  if (index < 0) return ERROR_INVALID_OPTION;
  if (!OPTION_DEFINITIONS[index].takes_parameter) return ERROR_OPTION_MISSING_PARAMETER;
  snprintf(out, OPTION_PARAMETER_SIZE, "%s", state.options[index].parameter);
  return 0;
}

int positional_add(option_state* state, const char* word) {
  if (state->positional == nullptr || word == nullptr || state->positional_total >= POSITIONAL_TABLE_SIZE) return -1;
  size_t length = strlen(word);
  if (length >= UINT32_MAX) return -1;
  void* copy = nullptr;
  if (os_mem_alloc(static_cast<uint32_t>(length + 1), &copy) != 0 || copy == nullptr) return -1;
  memcpy(copy, word, length);  // the terminating zero comes with the zero fill
  state->positional[state->positional_total++] = static_cast<char*>(copy);
  return 0;
}

int positional_count(const option_state& state) { return state.positional_total; }

int positional_get(const option_state& state, int index, char* out) {
  if (index < 0 || index >= state.positional_total) return ERROR_NO_SUCH_POSITIONAL;
  const char* word = state.positional[index];
  if (strlen(word) >= POSITIONAL_BUFFER_SIZE) {
    out[0] = '\0';
    return ERROR_WORD_TOO_LONG;
  }
  snprintf(out, POSITIONAL_BUFFER_SIZE, "%s", word);
  return 0;
}

void options_free(option_state* state) {
  if (state->positional == nullptr) return;
  for (int index = 0; index < state->positional_total; ++index) os_mem_free(state->positional[index]);
  os_mem_free(state->positional);
  state->positional = nullptr;
  state->positional_total = 0;
}

int options_record(const option_state& state, option_block* block) {
  option_block_start(block);
  for (int index = 0; index < OPTION_COUNT; ++index) {
    const option_entry& entry = state.options[index];
    if (!option_block_record(block, OPTION_DEFINITIONS[index], entry.given, entry.parameter))
      return ERROR_WORD_TOO_LONG;
  }
  return 0;
}
