// Finding the archive inside a file and reading what lies before it: a plain
// archive, one attached to a program by its trailer (in a signed program,
// before the certificate table), and a self-extractor's option block.
#pragma once

#include <cstdint>

#include "archive/layout.h"
#include "foundation/file.h"

// True when the 32 bytes match the signature up to and including its zero.
bool signature_matches(const char* field, const char* signature);

// Where a file's archive lies: its signature field at start, its entries
// ending at end (the trailer's position, or the end of a plain archive).
struct archive_bounds {
  uint32_t start = 0;
  uint32_t end = 0;
};
// A plain archive carries the signature at offset 0; otherwise the file's last
// 4 bytes give the offset of an attached archive, or in a signed PE file (its
// security directory names a certificate table that ends the file) the 4
// bytes before that table and its zero alignment. 0; ERROR_FILE_END when the
// signature field at the located offset cannot be read whole before the end
// (or the file is too short for one); ERROR_ARCHIVE_SIGNATURE when the bytes
// there are not the signature. Moves the file's position.
int archive_locate(file_handle file, archive_bounds* bounds);
// Reads the 324 bytes before the archive at start into block (zero where
// there is no room for them). 0, or ERROR_OPTION_BLOCK when there is no
// block, it cannot be read or its signature does not match.
int se_read_options(file_handle file, uint32_t start, option_block* block);
