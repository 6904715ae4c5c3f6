// The clean-up key: while an extraction that deletes afterwards runs, every
// file and directory it creates is recorded as one value of a key named
// after its process, and the clean-up deletes the recorded paths newest
// first. The key's format is defined here once, for the program (its own
// key) and `qpk cleanup` (keys of processes that ended before their clean-up).
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/path.h"

// Every clean-up key lives below this key path, named "%8lx" after its process.
constexpr char CLEANUP_KEY_ROOT[] = "Software\\QOR\\QPK2EXE";
constexpr size_t CLEANUP_KEY_NAME_SIZE = 64;
// Values are named "0", "1", ... in the order the paths were recorded.
constexpr size_t CLEANUP_VALUE_NAME_SIZE = 16;
// Each value holds this many bytes: a path, then zero bytes. A longer path
// is not recorded, so it is never deleted (and never read back cut short).
// The Windows registry value keeps its 255 bytes; the POSIX store takes any
// path the system takes.
#ifdef _WIN32
constexpr size_t CLEANUP_VALUE_SIZE = 255;
#else
constexpr size_t CLEANUP_VALUE_SIZE = PATH_SIZE;
#endif

// The key path of a process's clean-up key, into size bytes.
void cleanup_key_name_of(unsigned long process_id, char* out, size_t size);
// The name of the value at index, into size bytes.
void cleanup_value_name(uint32_t index, char* out, size_t size);

// Appends the path to the key as its next value (creating the key). False,
// logged, when it cannot be recorded.
bool cleanup_record(const char* key_name, const char* path);
// Deletes the paths recorded in the key newest first, then the key. Only a
// path strictly inside folder is deleted (a directory only when empty), and
// only while every folder from there down to it is still a real directory;
// every value is removed all the same. A key that cannot be opened is still
// deleted.
void cleanup_walk(const char* key_name, const char* folder);
