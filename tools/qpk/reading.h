// What list, test and info share: an archive opened through the engine's own
// archive_file and walked with its one entry walk, and texts from the file
// shown so that none can steer the terminal.
#pragma once

#include <ostream>
#include <string>

#include "archive/archive_file.h"

// An archive_file closed when it goes out of scope.
struct opened_archive {
  archive_file archive;
  opened_archive() = default;
  opened_archive(const opened_archive&) = delete;
  opened_archive& operator=(const opened_archive&) = delete;
  ~opened_archive() { archive_file_close(&archive); }
};

// Opens the file and finds its archive; false after writing
// "qpk: FILE: PROBLEM" to err.
bool open_archive(const std::string& file, opened_archive* opened, std::ostream& err);

// An entry name or option text as far as its zero (at most size bytes), with
// control characters shown as \xNN.
std::string printable_field(const char* field, size_t size);
