// What the log library needs from the platform: the clock, the log file's
// path and an append of one whole line.
// Its own sink, not foundation/backend.h: the library is built and loaded on its own.
#pragma once

#include <cstddef>

struct utc_time {
  int year, month, day, hour, minute, second, millisecond;
};

constexpr size_t LOG_PATH_SIZE = 1024;

utc_time utc_now();
// The path in QORLOG32_FILE, else QORLOG32.LOG in the temporary folder; false
// when it does not fit size bytes.
bool log_file_path(char* out, size_t size);
// Appends the bytes with one write, so lines from several processes do not
// interleave. False when the file cannot be opened or written.
bool append_to_file(const char* path, const char* data, size_t size);
extern const char LOG_LINE_END[];
