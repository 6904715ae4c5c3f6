// Where a program file's own image ends, from its headers: a PE file at the
// end of its last section's raw data (or its symbol table, or a certificate
// table), an ELF file at the end of its section header table or of its last
// section. Bytes past that end are something appended to the program, such
// as a self-extractor's archive.
#pragma once

#include <cstdint>

#include "foundation/file.h"

// 0 and *end set; ERROR_ARCHIVE_SIGNATURE (layout.h) when the file is
// neither a PE nor an ELF file, or its headers cannot be read. Moves the
// file's position.
int executable_image_end(file_handle file, uint32_t* end);
