// Token substitution for the recorded command, and the quoting of one word
// for the command line a command is run with. Nothing is cut: a result that
// does not fit is refused.
#pragma once

#include <cstddef>

#include "foundation/path.h"

// A text assembled by the driver (a command line, a path) does not fit.
constexpr int ERROR_TEXT_TOO_LONG = -8009;
// Any word shorter than PATH_SIZE as one shell word: quoted, each quote
// inside takes four bytes.
constexpr size_t SHELL_WORD_SIZE = 4 * PATH_SIZE;
constexpr char DESTINATION_TOKEN[] = "$(Destination)";

// Copies text to out (size bytes) with every token replaced by value; 0, or
// ERROR_TEXT_TOO_LONG when the result does not fit (out is then empty).
int substitute_all(const char* token, const char* value, const char* text, char* out, size_t size);
// The text as one word of the command line a command is run with: on POSIX
// quoted for /bin/sh ('...', a quote inside as '\''), so that spaces, quotes
// and ; stay inside the word; on Win32 as it stands. 0, or
// ERROR_TEXT_TOO_LONG (out empty) when it does not fit size bytes.
int shell_word(const char* text, char* out, size_t size);
// "$(Destination)" replaced by the target path, as one shell word when the
// text is a command for the shell.
int expand_destination(const char* text, char* out, size_t size, bool as_shell_word);
