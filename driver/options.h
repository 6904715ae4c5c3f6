// The command line: splitting a tail into words, the fixed table of the
// options (archive/option_table.h names them), and the positional words.
// Every start of the program, builder or self-extractor, parses its words
// with these rules.
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

constexpr uint32_t OPTION_GIVEN = 0x1;
constexpr uint32_t OPTION_TAKES_PARAMETER = 0x2;

constexpr int ARGUMENT_VECTOR_SIZE = 16;  // entry 0 and at most 15 words
constexpr int OPTION_WORD_SIZE = 32;
constexpr int OPTION_PARAMETER_SIZE = 255;
constexpr int POSITIONAL_TABLE_SIZE = 255;

struct option_entry {
  char word[OPTION_WORD_SIZE];
  uint32_t state;
  char parameter[OPTION_PARAMETER_SIZE];
};

extern const char USAGE_TEXT[];

// Splits text in place into at most capacity words stored from words[0];
// gives the count. ERROR_TOO_MANY_WORDS when there are more (the count then
// says how many were stored).
int split_command_line(char* text, int* count, char** words, int capacity);

// Allocates the positional list from the system (not the pool); a second call
// starts an empty list. ERROR_OPTION_STORE when the memory is refused.
int options_init();
void options_set_prefixes(const char* prefixes);
// Parses entries 1 to argc-1. Returns 0, ERROR_INVALID_OPTION (also for an
// empty word), ERROR_OPTION_ALREADY_SET, ERROR_OPTION_MISSING_PARAMETER, or
// ERROR_WORD_TOO_LONG for a parameter over 254 characters or a positional
// word that does not fit PATH_SIZE (over 255 characters on Win32, 4095 bytes
// on POSIX; the word is then noted as the failure's path). On POSIX a "/"
// word is an option only when the rest names one.
int options_parse(int argc, char** argv);
// The word a failed options_parse stopped at (the option, not its parameter).
const char* options_stopped_at();
// The message of a refused command line ("ERROR: Invalid option", ...) for a
// status of options_parse or ERROR_TOO_MANY_WORDS; null for any other.
const char* options_error_text(int status);
int option_find(const char* word);
int option_is_set(const char* word);
// out holds OPTION_PARAMETER_SIZE bytes.
int option_parameter(const char* word, char* out);
// 0, or -1 when the copy cannot be allocated or the list is full or absent.
int positional_add(const char* word);
int positional_count();
// out holds PATH_SIZE bytes. ERROR_NO_SUCH_POSITIONAL outside 0 to count-1;
// ERROR_WORD_TOO_LONG (out empty) for a word added directly that cannot fit.
int positional_get(int index, char* out);
void options_free();
// The option block of a self-extractor built with the options given:
// ERROR_WORD_TOO_LONG when a parameter does not fit its field whole (a cut
// command or destination would mean something else).
int options_record(option_block* block);
// Clears the option table back to its start state (for tests and fuzzing).
void options_reset();
