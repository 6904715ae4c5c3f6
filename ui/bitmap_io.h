// The bitmap loader's back-end: resource lookup, the file reading used for a
// bitmap file, and its memory. Defined in ui/win32/ and ui/console/; includes
// no status header.
#pragma once

#include <cstdint>

// 1: found, *data and *size set; 0: no such resource; -1: it exists but
// cannot be loaded.
int bitmap_resource_find(void* module, const char* name, const void** data, uint32_t* size);
// A file opened for reading with writing denied to others; -1 when it cannot
// be opened.
intptr_t bitmap_file_open(const char* name);
// Reads up to count bytes; gives how many arrived (0 at the end or on error).
uint32_t bitmap_file_read(intptr_t file, void* buffer, uint32_t count);
// How many bytes are left to read from the position; 0 when unknown.
uint32_t bitmap_file_left(intptr_t file);
void bitmap_file_close(intptr_t file);
// A zero-filled block that stays put; none when there is no memory.
void* bitmap_block_alloc(uint32_t size);
void bitmap_block_free(void* block);
