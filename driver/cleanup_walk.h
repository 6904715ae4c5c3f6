// The clean-up walk, shared by the extraction run (its own key, at the end of
// the run) and `qpk cleanup` (keys of processes that ended before theirs).
#pragma once

#include <cstddef>

// Every clean-up key lives below this key path, named "%8lx" after its process;
// each value holds CLEANUP_VALUE_SIZE (driver/driver.h) bytes: a path, then
// zero bytes.
constexpr char CLEANUP_KEY_ROOT[] = "Software\\QOR\\QPK2EXE";
constexpr size_t CLEANUP_KEY_NAME_SIZE = 64;

// The key path of a process's clean-up key, into size bytes.
void cleanup_key_name_of(unsigned long process_id, char* out, size_t size);

// Deletes the paths recorded in the key newest first, then the key. Only a
// path strictly inside folder is deleted (a directory only when empty); every
// value is removed all the same. A key that cannot be opened is still deleted.
void cleanup_walk(const char* key_name, const char* folder);
