// The builder's command line: splitting a tail into words, the parse of the
// argument vector against the option table (archive/option_table.h) into
// option marks, parameters and positional words, and the usage text. The
// builder, every self-extractor and `qpk sfx` parse their words with these
// rules, each into a parse state of its own.
#pragma once

#include <cstdint>

#include "archive/option_table.h"

constexpr int ERROR_OPTION_STORE = -8001;
constexpr int ERROR_INVALID_OPTION = -8002;
constexpr int ERROR_OPTION_ALREADY_SET = -8003;
constexpr int ERROR_OPTION_MISSING_PARAMETER = -8004;
constexpr int ERROR_NO_SUCH_POSITIONAL = -8005;
// A command line of more words than the argument vector holds.
constexpr int ERROR_TOO_MANY_WORDS = -8006;
// A parameter or positional word longer than the buffer it must fit.
constexpr int ERROR_WORD_TOO_LONG = -8007;

constexpr int ARGUMENT_VECTOR_SIZE = 16;  // entry 0 and at most 15 words
constexpr int OPTION_PARAMETER_SIZE = 255;
constexpr int POSITIONAL_TABLE_SIZE = 255;

// One option of the table as the command line gave it.
struct option_entry {
  bool given;
  char parameter[OPTION_PARAMETER_SIZE];
};

// The parse of one command line, owned by its caller. A new record is empty
// and holds no memory; options_init starts it afresh (also after a parse) and
// options_free gives its memory back.
struct option_state {
  option_entry options[OPTION_COUNT] = {};  // in the order of OPTION_DEFINITIONS
  bool prefix[256] = {};                    // the option prefixes as a set of byte values
  // POSITIONAL_TABLE_SIZE word pointers in zero-filled system memory (1020
  // bytes with 32-bit pointers); each word is its own allocation.
  char** positional = nullptr;
  int positional_total = 0;
  const char* stopped_at = "";  // the word the latest parse stopped at
};

// The builder's usage text, one line per option of the table.
extern const char* const USAGE_TEXT;

// Splits text in place into at most capacity words stored from words[0];
// gives the count. ERROR_TOO_MANY_WORDS when there are more (the count then
// says how many were stored).
int split_command_line(char* text, int* count, char** words, int capacity);

// Starts the state afresh: no option given, the prefixes "/" and "-", and an
// empty positional list from the system (not the pool), any earlier list
// freed. ERROR_OPTION_STORE when the memory is refused.
int options_init(option_state* state);
void options_set_prefixes(option_state* state, const char* prefixes);
// Parses entries 1 to argc-1. Returns 0, ERROR_INVALID_OPTION (also for an
// empty word), ERROR_OPTION_ALREADY_SET, ERROR_OPTION_MISSING_PARAMETER, or
// ERROR_WORD_TOO_LONG for a parameter over 254 characters or a positional
// word that does not fit PATH_SIZE (over 255 characters on Win32, 4095 bytes
// on POSIX; the word is then noted as the failure's path). On POSIX a "/"
// word is an option only when the rest names one.
int options_parse(option_state* state, int argc, char** argv);
// The word a failed options_parse stopped at (the option, not its parameter).
const char* options_stopped_at(const option_state& state);
// The message of a refused command line ("ERROR: Invalid option", ...) for a
// status of options_parse or ERROR_TOO_MANY_WORDS; null for any other.
const char* options_error_text(int status);
// The option's index in OPTION_DEFINITIONS; -1 for none.
int option_find(const char* word);
int option_is_set(const option_state& state, const char* word);
// out holds OPTION_PARAMETER_SIZE bytes.
int option_parameter(const option_state& state, const char* word, char* out);
// 0, or -1 when the copy cannot be allocated or the list is full or absent.
int positional_add(option_state* state, const char* word);
int positional_count(const option_state& state);
// out holds PATH_SIZE bytes. ERROR_NO_SUCH_POSITIONAL outside 0 to count-1;
// ERROR_WORD_TOO_LONG (out empty) for a word added directly that cannot fit.
int positional_get(const option_state& state, int index, char* out);
// Frees the positional list; the state stays usable for options_init.
void options_free(option_state* state);
// The option block of a self-extractor built with the options given:
// ERROR_WORD_TOO_LONG when a parameter does not fit its field whole (a cut
// command or destination would mean something else).
int options_record(const option_state& state, option_block* block);
