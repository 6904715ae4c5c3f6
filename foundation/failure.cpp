// The last failure's file and reason, kept in one process-wide record.
#include "foundation/failure.h"

#include <cstdio>
#include <cstring>

#include "foundation/backend.h"

namespace {

constexpr char TOO_LONG_REASON[] = "the path is too long";

// Each thread notes its own failures; a worker's record reaches the thread
// that reports it through failure_save and failure_restore.
OS_PER_THREAD failure_record failure;

}  // namespace

void failure_note_system() { os_error_text(os_last_error(), failure.reason, sizeof failure.reason); }

void failure_note_reason(const char* reason) {
  snprintf(failure.reason, sizeof failure.reason, "%s", reason != nullptr ? reason : "");
}

// A path too long for the record keeps its head and its end (the file's own
// name), with a visible "..." between them rather than a silent cut.
void failure_note_path(const char* path) {
  if (failure.path[0] != '\0' || path == nullptr) return;
  const size_t length = strlen(path);
  if (length < sizeof failure.path) {
    memcpy(failure.path, path, length + 1);
    return;
  }
  constexpr size_t HALF = (sizeof failure.path - sizeof "...") / 2;
  snprintf(failure.path, sizeof failure.path, "%.*s...%s", static_cast<int>(HALF), path, path + length - HALF);
}

void failure_note_too_long(const char* path) {
  if (failure.path[0] != '\0') return;
  failure_note_reason(TOO_LONG_REASON);
  failure_note_path(path);
}

void failure_save(failure_record* record) { *record = failure; }

void failure_restore(const failure_record& record) { failure = record; }

// Empty texts are no note; the rest of the record (over 8 KiB) is left as
// it is, since every file written is preceded by a clear.
void failure_clear() {
  failure.path[0] = '\0';
  failure.reason[0] = '\0';
}

bool failure_is_too_long() { return failure.path[0] != '\0' && strcmp(failure.reason, TOO_LONG_REASON) == 0; }

bool failure_describe(char* out, size_t size) {
  if (size == 0 || failure.path[0] == '\0') return false;
  snprintf(out, size, "%s: %s", failure.path, failure.reason[0] != '\0' ? failure.reason : "failed");
  return true;
}
