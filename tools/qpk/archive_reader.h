// Reading an archive, plain or inside a self-extractor, header by header.
// Every position and length is checked against the file before it is used,
// so a damaged archive gives a clear problem, never a read out of bounds.
#pragma once

#include <cstdint>
#include <string>

#include "archive/layout.h"

class archive_reader {
 public:
  archive_reader() = default;
  ~archive_reader();
  archive_reader(const archive_reader&) = delete;
  archive_reader& operator=(const archive_reader&) = delete;

  // Opens the file and finds its archive. "" or the problem.
  std::string open(const std::string& path);

  enum step { ENTRY, END, DAMAGED };
  // The next entry's header and where its data starts, END after the last
  // entry, or DAMAGED with the problem.
  step next(entry_header* header, uint32_t* data_at, std::string* problem);

  file_handle file() const { return file_; }
  // Where the archive's signature field starts: 0 for a plain archive.
  uint32_t offset() const { return offset_; }

 private:
  file_handle file_ = NO_FILE;
  uint32_t offset_ = 0;
  uint32_t end_ = 0;  // where the entries must end: the file's end or its trailer
  uint32_t next_ = 0;
};

// An entry name or option text as far as its zero (at most size bytes), with
// control characters shown as \xNN so that no text can steer the terminal.
std::string printable_field(const char* field, size_t size);
