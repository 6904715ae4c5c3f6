// Walking the entries of the open archive: each header is read whole, its name
// kept terminated, and its data position checked against what the file layer
// can reach before anything is read from there.
#pragma once

#include <cstdint>

#include "archive/layout.h"
#include "foundation/backend.h"

struct walk_entry {
  entry_header header;
  char name[ENTRY_NAME_SIZE + 1];  // the header's name, always terminated
  bool name_terminated;            // the header held a terminator of its own
  uint32_t data_position;          // where the entry's data begins
};

// The walk keeps the archive's position itself, so that reading a header costs
// one read and no question to the system about where the file is.
struct entry_walk {
  file_handle archive;
  uint32_t position;  // where the next header begins
};

// Positions the archive at its first entry header.
int walk_start(entry_walk* walk, file_handle archive);
// 1: an entry was read and the archive is left at its data; 0: the archive
// ends (no whole header is left); ERROR_ENTRY_DATA: the entry's data would
// reach past 2^31 - 1 bytes.
int walk_read(entry_walk* walk, walk_entry* entry);
// Moves to the header after the entry's data.
int walk_skip(entry_walk* walk, const walk_entry* entry);
