// The driver: the program entry, start-up and shut-down, and the two runs
// (building a self-extractor, extracting one), with the process-wide target
// path they share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/entry.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/path.h"

// The program's own path does not fit its PATH_SIZE buffer.
constexpr int ERROR_PROGRAM_PATH_TOO_LONG = -8008;
// A text assembled by the driver (a command line, a path) does not fit.
constexpr int ERROR_TEXT_TOO_LONG = -8009;
// The program's own file cannot be found (POSIX: no /proc and no usable name
// it was started by, or a current folder gone).
constexpr int ERROR_PROGRAM_PATH_UNKNOWN = -8010;

// The process's exit status: 0 only when the run did all it was asked.
constexpr int EXIT_STATUS_SUCCESS = 0;
constexpr int EXIT_STATUS_FAILURE = -1;
constexpr char DAMAGED_SELF_EXTRACTOR_TEXT[] = "Damaged self-extractor";

constexpr uint32_t DRIVER_POOL_SIZE = 1000000;
#ifdef _WIN32
constexpr size_t COMMAND_LINE_SIZE = 256;  // 255 characters and a zero
#else
// The kernel's limit on one argument (MAX_ARG_STRLEN), which the command line
// is to /bin/sh -c. Buffers this large are static, never on the stack.
constexpr size_t COMMAND_LINE_SIZE = 32 * 4096;
#endif
// Any word shorter than PATH_SIZE as one shell word: quoted, each quote
// inside takes four bytes.
constexpr size_t SHELL_WORD_SIZE = 4 * PATH_SIZE;
constexpr char DESTINATION_TOKEN[] = "$(Destination)";

// The full path the run works on: the destination directory, or the output
// executable of a build.
extern char g_target_path[PATH_SIZE];

// A failure's reason line: a path and the system's words for what went wrong.
constexpr size_t FAILURE_REASON_SIZE = FAILURE_PATH_SIZE + 128;
// Shows a failure message; on POSIX followed by a line naming the file the
// failure concerned and its reason (foundation/failure.h), when one is known.
void notify_failure(const char* message);

// The usage text: help asked for goes where a caller reads results (on a
// terminal standard output), the usage after a mistake goes with the
// messages; the Windows box is the same either way.
void show_usage(bool asked);

// Returns the process's exit status.
int driver_run(int argc, char** argv);

// The runs return the exit status: EXIT_STATUS_SUCCESS only when the builder
// wrote its output, or the self-extractor extracted everything and launched
// its command (whose own non-zero status, when the run waited for it, is
// returned instead); EXIT_STATUS_FAILURE otherwise.
int build_run(int argc, char** argv);

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

int extraction_run(int argc, char** argv, const extraction_choices& choices);

// The recording callback of an extraction that deletes afterwards.
int record_extracted_path(unsigned event, const char* text);
// "Software\QOR\QPK2EXE\%8lx" of this process, into size bytes.
void cleanup_key_name(char* out, size_t size);
// Deletes every recorded path newest first, then the key and the target path.
void cleanup_extracted_paths();

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

#include "foundation/backend.h"

// What a launch started: a created process (its handles are this run's to
// close) or a file opened through its association (the process may be none).
struct launch_record {
  os_process process;
  bool created;
};
// Starts the command line: "start X" opens X through its association, any
// other command is created as a process with the target path as current
// directory. False when nothing could be started.
bool launch_command(const char* command_line, launch_record* out);
// Whether the command opens a file by its association ("start X"): its words
// then go to no shell.
bool launch_is_start(const char* command_line);
// Waits for the launched process, or (none, or a forced prompt) for the user
// to close the status window, pumping messages between 250 ms sleeps. The
// process's exit status when the wait saw it end, else 0.
int wait_for_launched(launch_record* record, bool force_prompt);
