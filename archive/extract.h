// Entry extraction: walks an open archive and writes every entry that matches
// a pattern below a destination directory, with its directories, time and
// attributes, reporting each created file and directory through the
// archive's callback.
#pragma once

#include <cstdint>

#include "archive/archive_file.h"
#include "archive/free_space.h"

constexpr int ERROR_SIZE_MISMATCH = -303;
constexpr int ERROR_NO_MATCH = -306;

// First a check of the whole archive: every header and its data must lie
// before the archive's end and every matching entry must pass entry_check
// (entry_walk.h), and the matching entries' content must fit the free space;
// nothing is written before the check passes. Then the walk writes each
// matching entry. 0; ERROR_NO_MATCH; ERROR_DISK_SPACE (free_space.h); the
// walk's or the entry check's refusal; the first entry failure; a negative
// answer of the callback (the user cancelled).
int archive_file_extract(archive_file* archive, const char* pattern, const char* destination, int use_paths);
