// The extraction run: what a built self-extractor does, and what the person
// starting it may ask for beyond its recorded options.
#pragma once

struct option_state;  // options/options.h

// What the person starting a self-extractor asked for beyond its recorded
// options: on Linux through its own long options (driver/own_options.h); on
// Windows always the defaults.
constexpr int OWN_EXTRACT = 0;
constexpr int OWN_HELP = 1;
constexpr int OWN_VERSION = 2;
constexpr int OWN_LIST = 3;
constexpr int OWN_CHECK = 4;
constexpr int OWN_INFO = 5;
struct extraction_choices {
  int action = OWN_EXTRACT;
  bool launch = true;         // false: extract and keep, run nothing
  bool quiet = false;         // no banner, no status line
  int overwrite_answer = -1;  // 1 or 0 answers every overwrite question; -1 asks
};

// The exit status: EXIT_STATUS_SUCCESS only when the self-extractor extracted
// everything and launched its command (whose own non-zero status, when the
// run waited for it, is returned instead); EXIT_STATUS_FAILURE otherwise.
int extraction_run(const option_state& options, int argc, char** argv, const extraction_choices& choices);
