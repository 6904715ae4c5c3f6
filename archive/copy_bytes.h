// Copying a count of bytes between two open files, as a self-extractor's
// build copies its stub and archive and extraction copies stored data.
#pragma once

#include <cstdint>

#include "foundation/file.h"

// The one pool block a copy borrows for what the system cannot copy itself.
constexpr uint32_t COPY_BUFFER_SIZE = 65520;

// Copies count bytes from the source's position to the target's. A source
// that ends early gives ERROR_FILE_END, a short write ERROR_FILE_WRITE, no
// pool block ERROR_SYSTEM_MEMORY.
int copy_bytes(file_handle source, file_handle target, uint32_t count);
