// Entry extraction: walks an open archive and writes every entry that matches
// a pattern below a destination directory, with its directories, time and
// attributes, reporting each created file and directory through the
// archive's callback.
#pragma once

#include <cstdint>

#include "archive/archive_file.h"
#include "foundation/path.h"

constexpr int ERROR_MAKE_DIRECTORY = -302;
constexpr int ERROR_SIZE_MISMATCH = -303;
constexpr int ERROR_NO_MATCH = -306;
constexpr int ERROR_DISK_SPACE = -309;

// First a check of the whole archive: every header and its data must lie
// before the archive's end and every matching entry must pass entry_check
// (entry_walk.h), and the matching entries' content must fit the free space;
// nothing is written before the check passes. Then the walk writes each
// matching entry. 0; ERROR_NO_MATCH; ERROR_DISK_SPACE; the walk's or the
// entry check's refusal; the first entry failure; a negative answer of the
// callback (the user cancelled).
int archive_file_extract(archive_file* archive, const char* pattern, const char* destination, int use_paths);
int disk_free_space(const char* path, double* bytes);
// Notes the destination as the failure's path and, as its reason, what the
// selection needs against what is free ("needs 1.2 GiB, 300.0 MiB free"; in
// bytes where the rounded sizes would read the same), or that the free space
// could not be found (known false).
void note_space_shortage(const char* destination, uint64_t needed, double free_bytes, bool known);
int wildcard_match(const char* pattern, const char* name);
int wildcard_match_part(const char* pattern, const char* text);
// The directory part of the last target whose directories were all found or
// made during one extraction, so that the next target in the same folder needs
// no checks. One per extraction, on its stack: a PATH_SIZE path kept in the
// open archive would weigh on the program's file as initialised data.
struct directory_memo {
  char confirmed[PATH_SIZE] = {};
};

// Creates the missing directories of a file path, reporting each through the
// archive's callback; the memo saves the checks for folders this extraction
// already confirmed. The first chosen bytes of the path are the destination
// the caller chose, whose folders may be links; below them every folder must
// be a real directory, never a link or a junction: ERROR_MAKE_DIRECTORY.
int make_directories(archive_file* archive, directory_memo* memo, const char* path, size_t chosen);
