// The fixed table of the options, the parse of the argument vector into option
// marks, parameters and positional words, and the usage text. Everything here
// is process-wide: the table lives with the process, the positional list from
// options_init to options_free.
#include "driver/options.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/failure.h"
#include "foundation/path.h"

const char USAGE_TEXT[] =
    "usage: QPK2EXE [options] {QPK file} [EXE file]\n"
    "/q1\t\tSilent mode (no output)\n"
    "/q2\t\tQuiet mode (only errors)\n"
    "/nopath\t\tDon't create subdirectories on extract\n"
    "/y\t\tAutomatically respond 'Yes' to interaction\n"
    "/n\t\tAutomatically respond 'No' to interaction\n"
    "/deleteafter\tDelete extracted files before exiting\n"
    "/forcedeleteprompt\tForce prompt before deleting (doesn't wait for launched file to exit)\n"
    "/e [$(Destination)\\]{command}   Execute {command} after extracting\n"
    "                                {command} should include 'start' if\n"
    "                                you are trying to use file association\n"
    "/nosplash\t\tNo splash screen when creating self-extractor\n"
    "/nosplashonextract\t\tNo splash screen when extracting\n"
    "/nostatus\t\tNo status window\n"
    "/name {name}\tSets name of self-extractor\n"
    "/destinationdirectory {path}\tForces extraction to the specified directory\n";

// The parse state of each option of the table, in its search order.
static constexpr std::array<option_entry, OPTION_COUNT> start_table() {
  std::array<option_entry, OPTION_COUNT> table{};
  for (int index = 0; index < OPTION_COUNT; ++index) {
    const option_definition& option = OPTION_DEFINITIONS[index];
    for (int c = 0; option.word[c] != '\0' && c < OPTION_WORD_SIZE - 1; ++c) table[index].word[c] = option.word[c];
    table[index].state = option.takes_parameter ? OPTION_TAKES_PARAMETER : 0;
  }
  return table;
}
static constexpr std::array<option_entry, OPTION_COUNT> OPTION_TABLE_START = start_table();

static std::array<option_entry, OPTION_COUNT> option_table = OPTION_TABLE_START;

// The prefixes form a set of byte values, so any prefix text fits whole.
static bool option_prefix[256];

// POSITIONAL_TABLE_SIZE word pointers in zero-filled system memory (1020
// bytes with 32-bit pointers); each word is its own allocation of exactly
// length + 1 zero-filled bytes.
static char** positional_table;
static int positional_total;

// The word the latest parse stopped at, so that a refusal can name it.
static const char* stopped_at = "";

constexpr size_t POSITIONAL_BUFFER_SIZE = PATH_SIZE;  // the callers' buffers
constexpr size_t POSITIONAL_TABLE_BYTES = POSITIONAL_TABLE_SIZE * sizeof(char*);

int options_init() {
  options_free();  // a second init starts an empty list instead of leaking one
  void* table = nullptr;
  if (os_mem_alloc(POSITIONAL_TABLE_BYTES, &table) != 0 || table == nullptr) return ERROR_OPTION_STORE;
  positional_table = static_cast<char**>(table);
  positional_total = 0;
  options_set_prefixes("/-");
  return 0;
}

void options_set_prefixes(const char* prefixes) {
  memset(option_prefix, 0, sizeof option_prefix);
  if (prefixes == nullptr) return;
  for (const char* c = prefixes; *c != '\0'; ++c) option_prefix[static_cast<unsigned char>(*c)] = true;
}

int option_find(const char* word) {
  if (word == nullptr) return -1;
  for (int index = 0; index < OPTION_COUNT; ++index)
    if (strcmp(option_table[index].word, word) == 0) return index;
  return -1;
}

// On POSIX "/" also begins every absolute path, so a "/" word is an option
// only when the rest of it names one; "/opt/setup.sh" stays an ordinary word.
static bool has_option_prefix(const char* word) {
  unsigned char first = static_cast<unsigned char>(word[0]);
  if (first == '\0' || !option_prefix[first]) return false;
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
static bool mistyped_option(const char* word) {
#ifdef _WIN32
  (void)word;
  return false;
#else
  if (word[0] != '/' || !option_prefix[static_cast<unsigned char>('/')]) return false;
  const char* rest = word;
  while (*rest == '/') ++rest;
  if (*rest == '\0') return true;
  return strchr(rest, '/') == nullptr && os_get_attributes(word) == OS_ATTR_INVALID;
#endif
}

// Marks the option named by the word and takes its parameter from the next
// word when it needs one; *index then points at the consumed parameter.
static int parse_option(int argc, char** argv, int* index) {
  int found = option_find(argv[*index] + 1);
  if (found < 0) return ERROR_INVALID_OPTION;
  option_entry* entry = &option_table[found];
  if (entry->state & OPTION_GIVEN) return ERROR_OPTION_ALREADY_SET;
  entry->state |= OPTION_GIVEN;
  if (!(entry->state & OPTION_TAKES_PARAMETER)) return 0;

  ++*index;
  if (*index >= argc) return ERROR_OPTION_MISSING_PARAMETER;
  const char* parameter = argv[*index];
  if (parameter == nullptr || parameter[0] == '\0' || has_option_prefix(parameter))
    return ERROR_OPTION_MISSING_PARAMETER;
  if (strlen(parameter) >= sizeof entry->parameter) return ERROR_WORD_TOO_LONG;
  snprintf(entry->parameter, sizeof entry->parameter, "%s", parameter);
  return 0;
}

int options_parse(int argc, char** argv) {
  for (int index = 1; index < argc; ++index) {
    const char* word = argv[index];
    stopped_at = word != nullptr ? word : "";
    // An empty word names neither an option nor a file: as a destination it
    // would silently mean the current directory, so it is refused.
    if (word == nullptr || word[0] == '\0') return ERROR_INVALID_OPTION;
    if (mistyped_option(word) && !has_option_prefix(word)) return ERROR_INVALID_OPTION;
    if (has_option_prefix(word)) {
      int status = parse_option(argc, argv, &index);
      if (status < 0) return status;
      continue;
    }
    if (strlen(word) >= POSITIONAL_BUFFER_SIZE) {
      failure_note_too_long(word);  // a positional word names a file or folder
      return ERROR_WORD_TOO_LONG;
    }
    positional_add(word);  // a lost copy is not an error of the command line
  }
  return 0;
}

const char* options_stopped_at() { return stopped_at; }

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

int option_is_set(const char* word) {
  int index = option_find(word);
  return index >= 0 && (option_table[index].state & OPTION_GIVEN) ? 1 : 0;
}

int option_parameter(const char* word, char* out) {
  int index = option_find(word);
  if (index < 0) return ERROR_INVALID_OPTION;
  const option_entry* entry = &option_table[index];
  if (!(entry->state & OPTION_TAKES_PARAMETER)) return ERROR_OPTION_MISSING_PARAMETER;
  snprintf(out, OPTION_PARAMETER_SIZE, "%s", entry->parameter);
  return 0;
}

int positional_add(const char* word) {
  if (positional_table == nullptr || word == nullptr || positional_total >= POSITIONAL_TABLE_SIZE) return -1;
  size_t length = strlen(word);
  if (length >= UINT32_MAX) return -1;
  void* copy = nullptr;
  if (os_mem_alloc(static_cast<uint32_t>(length + 1), &copy) != 0 || copy == nullptr) return -1;
  memcpy(copy, word, length);  // the terminating zero comes with the zero fill
  positional_table[positional_total++] = static_cast<char*>(copy);
  return 0;
}

int positional_count() { return positional_total; }

int positional_get(int index, char* out) {
  if (index < 0 || index >= positional_total) return ERROR_NO_SUCH_POSITIONAL;
  const char* word = positional_table[index];
  if (strlen(word) >= POSITIONAL_BUFFER_SIZE) {
    out[0] = '\0';
    return ERROR_WORD_TOO_LONG;
  }
  snprintf(out, POSITIONAL_BUFFER_SIZE, "%s", word);
  return 0;
}

void options_free() {
  if (positional_table == nullptr) return;
  for (int index = 0; index < positional_total; ++index) os_mem_free(positional_table[index]);
  os_mem_free(positional_table);
  positional_table = nullptr;
  positional_total = 0;
}

int options_record(option_block* block) {
  option_block_start(block);
  for (int index = 0; index < OPTION_COUNT; ++index) {
    const option_entry& entry = option_table[index];
    const bool given = (entry.state & OPTION_GIVEN) != 0;
    if (!option_block_record(block, OPTION_DEFINITIONS[index], given, entry.parameter)) return ERROR_WORD_TOO_LONG;
  }
  return 0;
}

void options_reset() { option_table = OPTION_TABLE_START; }
