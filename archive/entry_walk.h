// Walking the entries of an open archive: each header is read whole, its name
// kept terminated, and its data checked to lie before the archive's end
// before anything is read from there. The one walk of the format: the
// extraction and the qpk tool both use it, so both accept or refuse the same
// archive.
#pragma once

#include <cstdint>

#include "archive/archive_file.h"
#include "archive/layout.h"

struct walk_entry {
  entry_header header;
  char name[ENTRY_NAME_SIZE + 1];  // the header's name, always terminated
  bool name_terminated;            // the header held a terminator of its own
  uint32_t data_position;          // where the entry's data begins
};

// The walk keeps the archive's position itself, so that reading a header costs
// one read and no question to the system about where the file is.
struct entry_walk {
  const archive_file* archive;
  uint32_t position;    // where the next header begins
  const char* problem;  // why the walk failed, for a person; null until then
};

// Positions the archive at its first entry header.
int walk_start(entry_walk* walk, const archive_file* archive);
// 1: an entry was read and the archive is left at its data; 0: the entries
// end exactly at the archive's end; ERROR_ENTRY_DATA (with walk->problem)
// when a header or the data it announces does not fit before that end; a
// read's status when the header cannot be read.
int walk_read(entry_walk* walk, walk_entry* entry);
// Moves to the header after the entry's data.
int walk_skip(entry_walk* walk, const walk_entry* entry);

// Why an entry cannot be extracted, or null: its name (see entry_target.h),
// its method, and for stored data its two sizes, which must agree.
const char* entry_problem(const walk_entry& entry);
// 0, or the status for entry_problem's refusal: ERROR_ENTRY_NAME,
// ERROR_ENTRY_DATA for an unknown method, ERROR_SIZE_MISMATCH.
int entry_check(const walk_entry& entry);
