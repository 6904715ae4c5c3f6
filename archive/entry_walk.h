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

// A window of the archive read with one positioned read: a walk given one
// takes headers, and its reader small entries' data, from it instead of
// reading and seeking per entry. bytes[0, length) are the archive's bytes from
// offset start; size is the room at bytes.
struct walk_block {
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  uint32_t start = 0;
  uint32_t length = 0;
};

// The walk keeps the archive's position itself, so that reading a header costs
// one read and no question to the system about where the file is.
struct entry_walk {
  const archive_file* archive;
  uint32_t position;    // where the next header begins
  const char* problem;  // why the walk failed, for a person; null until then
  walk_block* block;    // null: each header is read at the file's position
};

// Positions the archive at its first entry header.
int walk_start(entry_walk* walk, const archive_file* archive);
// A walk through the block (its size at least an entry header's), which never
// moves the file's position: positioned reads only, so 0 always.
int walk_start_blocked(entry_walk* walk, const archive_file* archive, walk_block* block);
// 1: an entry was read and the archive is left at its data; 0: the entries
// end exactly at the archive's end; ERROR_ENTRY_DATA (with walk->problem)
// when a header or the data it announces does not fit before that end; a
// read's status when the header cannot be read.
int walk_read(entry_walk* walk, walk_entry* entry);
// Moves to the header after the entry's data.
int walk_skip(entry_walk* walk, const walk_entry* entry);
// The entry's data in the walk's block, read there when needed (the walk
// stays where it was); null when the walk has no block or the data is larger
// than it. *status: 0, or the read's status (then null).
const uint8_t* walk_entry_data(entry_walk* walk, const walk_entry& entry, int* status);

// Why an entry cannot be extracted, or null: its name (see entry_target.h),
// its method, and for stored data its two sizes, which must agree.
const char* entry_problem(const walk_entry& entry);
// 0, or the status for entry_problem's refusal: ERROR_ENTRY_NAME,
// ERROR_ENTRY_DATA for an unknown method, ERROR_SIZE_MISMATCH.
int entry_check(const walk_entry& entry);
