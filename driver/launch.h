// Launching the recorded command after an extraction, and waiting for it (or
// for the user) before the clean-up.
#pragma once

#include <cstddef>

#include "foundation/backend.h"

#ifdef _WIN32
constexpr size_t COMMAND_LINE_SIZE = 256;  // 255 characters and a zero
#else
// The kernel's limit on one argument (MAX_ARG_STRLEN), which the command line
// is to /bin/sh -c. Buffers this large are static, never on the stack.
constexpr size_t COMMAND_LINE_SIZE = 32 * 4096;
#endif

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
