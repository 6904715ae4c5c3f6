// The last failure's file and reason, kept in one process-wide record.
#include "foundation/failure.h"

#include <cstdio>

#include "foundation/backend.h"
#include "foundation/path.h"

namespace {

constexpr size_t REASON_SIZE = 128;

struct failure_record {
  char path[PATH_SIZE] = "";
  char reason[REASON_SIZE] = "";
};

failure_record failure;

}  // namespace

void failure_note_system() { os_error_text(os_last_error(), failure.reason, sizeof failure.reason); }

void failure_note_reason(const char* reason) {
  snprintf(failure.reason, sizeof failure.reason, "%s", reason != nullptr ? reason : "");
}

void failure_note_path(const char* path) {
  if (failure.path[0] == '\0' && path != nullptr) snprintf(failure.path, sizeof failure.path, "%s", path);
}

void failure_clear() { failure = failure_record{}; }

bool failure_describe(char* out, size_t size) {
  if (size == 0 || failure.path[0] == '\0') return false;
  snprintf(out, size, "%s: %s", failure.path, failure.reason[0] != '\0' ? failure.reason : "failed");
  return true;
}
