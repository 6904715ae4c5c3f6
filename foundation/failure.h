// The reason behind the last failure: the file it concerned and why, as the
// system words it (noted where a system call fails) or as the engine words
// damaged data. A failure message is followed by it on a terminal, so that a
// full disk, a refused permission and damaged data read differently.
#pragma once

#include <cstddef>

#include "foundation/path.h"

// A noted path: room for a destination and an entry name that together
// outgrow PATH_SIZE, so that the reason line can name what is too long.
constexpr size_t FAILURE_PATH_SIZE = 2 * PATH_SIZE;

constexpr size_t FAILURE_NOTE_REASON_SIZE = 128;

// What is noted; every thread has its own.
struct failure_record {
  char path[FAILURE_PATH_SIZE] = "";
  char reason[FAILURE_NOTE_REASON_SIZE] = "";
};

// Notes the error the last failed system call left (os_last_error).
void failure_note_system();
// Notes the engine's own words for what is wrong (damaged data).
void failure_note_reason(const char* reason);
// Notes the file the failure concerned; the first path noted since
// failure_clear stays, so a clean-up step cannot take its place.
void failure_note_path(const char* path);
// Notes the path and "the path is too long", for a path that does not fit;
// nothing when a path is noted already.
void failure_note_too_long(const char* path);
void failure_clear();
// Copies this thread's record out, or puts a record (another thread's) in its place.
void failure_save(failure_record* record);
void failure_restore(const failure_record& record);
// Whether the noted failure is a path too long to use.
bool failure_is_too_long();
// "path: reason" into out (size bytes, cut to fit; FAILURE_PATH_SIZE + 128
// hold any); false when no path was noted. Without a noted reason the reason
// is "failed". A path longer than FAILURE_PATH_SIZE - 1 is noted with "..."
// in place of its middle.
bool failure_describe(char* out, size_t size);
