// The folders above an extracted file: created one level at a time, each one
// reported, and below the destination never a link taken for a folder.
#pragma once

#include <cstddef>

#include "archive/archive_file.h"
#include "foundation/path.h"

constexpr int ERROR_MAKE_DIRECTORY = -302;

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
