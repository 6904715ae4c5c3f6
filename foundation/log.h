// The diagnostic log (handed to the optional log library when it is present,
// on POSIX written to the file QORLOG32_FILE names) and the debug print
// (always sent to the debugger output / system log).
#pragma once

#include <cstdint>

#include "foundation/backend.h"

constexpr int ERROR_LOG_UNAVAILABLE = -4601;
constexpr int LOG_INFO = 0;
constexpr int LOG_ERROR = 3;
constexpr int LOG_TEXT_SIZE = 1024;
constexpr int DPRINTF_BUFFER_SIZE = 512;

// Loads the optional log library: on Win32 only by its full path in the
// folder QORLOG32_DIR names, never through the system's search, which would
// take the program's folder and the current folder first (a downloaded
// self-extractor lies where others can drop a library). On POSIX no library
// is loaded: the lines go to the file QORLOG32_FILE names (os_log_file_entry).
// ERROR_LOG_UNAVAILABLE when there is no log.
int log_open();
// The builder (the program without an archive) may also take the library
// from its own folder (Win32), when log_open loaded none. 0 when a library
// is loaded (POSIX: when log_open found the file log). A self-extractor never
// calls it.
int log_open_beside_program();
int log_close();
bool log_enabled();
void log_set_enabled(bool enabled);
// Does nothing, and formats nothing, while the log is off.
void log_message(int level, const char* module, uint32_t* site, const char* format, ...);
// Returns the length of the text sent (at most DPRINTF_BUFFER_SIZE - 1).
int dprintf(const char* format, ...);

// Seams for tests: an entry in place of the library's, and a sink that
// receives the debug texts in place of the debugger output (null restores it).
void log_set_entry(os_log_entry entry);
void log_set_debug_sink(void (*sink)(const char* text));

// Every call site passes a word of its own to the log library.
#define LOG_MESSAGE(level, ...)                                    \
  do {                                                             \
    static uint32_t log_site_word_;                                \
    log_message((level), "QPK2EXE", &log_site_word_, __VA_ARGS__); \
  } while (0)
