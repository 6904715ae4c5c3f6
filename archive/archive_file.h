// An open archive: the file, where its archive starts and where its entries
// end, and the callbacks the engine reports to. Every reader of the format works on one of these: the
// program's one open archive (access.h) and the qpk tool alike.
#pragma once

#include <cstdint>

#include "archive/locate.h"
#include "foundation/events.h"
#include "foundation/file.h"
#include "foundation/progress.h"

struct archive_file {
  file_handle file = NO_FILE;
  // Offset of the archive signature field: 0 for a plain archive, the
  // trailer's offset in a self-extractor.
  uint32_t start = 0;
  // Where the entries must end: the trailer's position in a self-extractor,
  // the file's size for a plain archive. No read of entry data goes past it.
  uint32_t end = 0;
  notify_callback notify = nullptr;
  progress_callback progress = nullptr;
  // Threads an extraction writes entries on, the caller's included.
  unsigned threads = 1;
};

// Opens the file at path for reading and finds its archive (archive_locate in
// locate.h). 0, leaving the file just after the signature field;
// ERROR_FILE_NOT_FOUND; the open's status; ERROR_FILE_END when the signature
// field cannot be read whole before the end; ERROR_ARCHIVE_SIGNATURE. On
// failure nothing stays open. The callbacks are left as they were.
int archive_file_open(archive_file* archive, const char* path);
void archive_file_close(archive_file* archive);
// How every open ends: on status 0 the archive takes the open file and its
// archive's bounds; otherwise the file is closed and the archive left as it
// was. Returns status.
int archive_file_adopt(archive_file* archive, file_handle file, const archive_bounds& bounds, int status);
// Calls the archive's callback; 0 when it has none.
int archive_file_notify(const archive_file* archive, unsigned event, const char* text);
