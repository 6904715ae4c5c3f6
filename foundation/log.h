// The diagnostic log (handed to the optional log library when it is present)
// and the debug print (always sent to the debugger output / system log).
#pragma once

#include <cstdint>

constexpr int ERROR_LOG_UNAVAILABLE = -4601;
constexpr int LOG_INFO = 0;
constexpr int LOG_ERROR = 3;
constexpr int LOG_TEXT_SIZE = 1024;
constexpr int DPRINTF_BUFFER_SIZE = 512;

int log_open();
int log_close();
bool log_enabled();
void log_set_enabled(bool enabled);
// Does nothing, and formats nothing, while the log is off.
void log_message(int level, const char* module, uint32_t* site, const char* format, ...);
int dprintf(const char* format, ...);

// Every call site passes a word of its own to the log library.
#define LOG_MESSAGE(level, ...)                                    \
  do {                                                             \
    static uint32_t log_site_word_;                                \
    log_message((level), "QPK2EXE", &log_site_word_, __VA_ARGS__); \
  } while (0)
