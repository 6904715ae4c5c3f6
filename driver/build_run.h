// The build run: the plain builder turns an archive into a self-extractor.
#pragma once

struct option_state;  // options/options.h

// The usage text: help asked for goes where a caller reads results (on a
// terminal standard output), the usage after a mistake goes with the
// messages; the Windows box is the same either way.
void show_usage(bool asked);

// The exit status: EXIT_STATUS_SUCCESS only when the builder wrote its
// output (or showed the usage an empty command line asks for);
// EXIT_STATUS_FAILURE otherwise. It takes the command line's parse.
int build_run(const option_state& options, int argc, char** argv);
