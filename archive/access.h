// The program's one open archive and its callbacks: a thin layer
// over one archive_file, with the exit hooks that close it when the
// foundation services stop. One archive at a time.
#pragma once

#include <cstdint>

#include "archive/archive_file.h"

constexpr uint32_t ARCHIVE_OPEN_READ = 0x80000000;
constexpr uint32_t ARCHIVE_OPEN_APPEND = 0x40000000;

int archive_init();
void archive_set_notify(notify_callback callback);
// The hook the open archive's extractions report their progress to.
void archive_set_progress(progress_callback callback);
// The threads the open archive's extractions write entries on (archive_file).
void archive_set_threads(unsigned threads);
int archive_notify(unsigned event, const char* text);
// Read mode: archive_file_open. Append mode (used by nothing in the program):
// an existing plain archive opened at its end, or a new one holding only the
// signature field.
int archive_open(const char* path, uint32_t mode);
int archive_close();
// Extracts the open archive (archive_file_extract in extract.h).
int archive_extract(const char* pattern, const char* destination, int use_paths);
// The open archive; its file is NO_FILE when none is open.
const archive_file* archive_current();
