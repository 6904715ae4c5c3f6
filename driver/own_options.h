// A Linux self-extractor's own command line: its long options, "--" ending
// them, and the words it leaves to the option table and the recorded command.
// A Windows self-extractor takes none of these: there a word is the
// destination or passed on, as the option table says.
#pragma once

#include "driver/extraction_run.h"

// A long option refused; its message, naming the word, was shown already.
constexpr int ERROR_OWN_OPTION = -8010;

// Sorts the words of argv (argc of them, entry 0 the program): the long
// options into *choices; the words before "--" through options_parse into
// *options (the first positional word is the destination); --target DIR as that
// destination. Leaves in argv, from entry 1, the words the recorded command
// receives: those before "--" that are no long option, then every word after
// it; *argc counts them with entry 0. 0, a status of options_parse, or
// ERROR_OWN_OPTION, ERROR_WORD_TOO_LONG (a --target past PATH_SIZE).
int own_options_parse(option_state* options, int* argc, char** argv, extraction_choices* choices);

// Carries out an action other than OWN_EXTRACT for the self-extractor at
// path: the help or the version on standard output (exit status 0), or the
// report on its archive that `qpk list`, `qpk test` or `qpk info` gives,
// with the same exit status.
int own_action_run(int action, const char* path);
