// Entry extraction: walks the open archive and writes every entry that
// matches a pattern below a destination directory, with its directories,
// time and attributes, reporting each created file and directory.
#pragma once

#include <cstdint>

#include "foundation/path.h"

constexpr int ERROR_MAKE_DIRECTORY = -302;
constexpr int ERROR_SIZE_MISMATCH = -303;
constexpr int ERROR_NO_MATCH = -306;
constexpr int ERROR_DISK_SPACE = -309;
// An entry's data is cut short, damaged, or reaches past what can be read.
constexpr int ERROR_ENTRY_DATA = -310;
// An entry name that would leave the destination, or a target path too long.
constexpr int ERROR_ENTRY_NAME = -311;

int archive_extract(const char* pattern, const char* destination, int use_paths);
int disk_free_space(const char* path, double* bytes);
int wildcard_match(const char* pattern, const char* name);
int wildcard_match_part(const char* pattern, const char* text);
// The directory part of the last target whose directories were all found or
// made during one extraction, so that the next target in the same folder needs
// no checks. Empty at the start of each extraction.
struct directory_memo {
  char confirmed[PATH_SIZE] = {};
};
int make_directories(const char* path, directory_memo* memo);
uint32_t entry_attributes_to_system(uint32_t attributes);
