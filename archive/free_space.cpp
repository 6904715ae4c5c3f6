// Free bytes for a destination, and the words for a shortage. Win32 asks for
// the drive of an "X:" path; POSIX asks for the path itself, or its nearest
// existing ancestor when the destination is yet to be created.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "archive/free_space.h"
#include "foundation/backend.h"
#include "foundation/failure.h"
#include "foundation/path.h"

namespace {

#ifdef _WIN32
int query_volume(const char* path, double* bytes) {
  if (!isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':') return ERROR_DISK_SPACE;
  const char root[] = {path[0], ':', '\\', '\0'};
  return os_disk_free_space(root, bytes) ? 0 : ERROR_DISK_SPACE;
}
#else
int query_volume(const char* path, double* bytes) {
  char existing[PATH_SIZE];
  if (snprintf(existing, sizeof existing, "%s", path) >= static_cast<int>(sizeof existing)) return ERROR_DISK_SPACE;
  while (os_get_attributes(existing) == OS_ATTR_INVALID) {
    char* last = strrchr(existing, '/');
    if (strcmp(existing, "/") == 0 || strcmp(existing, ".") == 0) return ERROR_DISK_SPACE;
    if (last == nullptr)
      snprintf(existing, sizeof existing, ".");
    else if (last == existing)
      existing[1] = '\0';
    else
      *last = '\0';
  }
  return os_disk_free_space(existing, bytes) ? 0 : ERROR_DISK_SPACE;
}
#endif

constexpr size_t SIZE_TEXT_SIZE = 32;  // "1023.9 PiB", or 2^64 in bytes

// A size in the largest binary unit it reaches, to a tenth.
void format_size(double bytes, char (&out)[SIZE_TEXT_SIZE]) {
  static const char* const UNITS[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
  if (bytes < 1024) {
    snprintf(out, sizeof out, "%.0f bytes", bytes);
    return;
  }
  size_t unit = 0;
  for (bytes /= 1024; bytes >= 1024 && unit + 1 < sizeof UNITS / sizeof UNITS[0]; bytes /= 1024) ++unit;
  snprintf(out, sizeof out, "%.1f %s", bytes, UNITS[unit]);
}

}  // namespace

// When the space cannot be determined the result is 0 bytes, so that any
// selection with content fails the space check.
int disk_free_space(const char* path, double* bytes) {
  double free_bytes = 0;
  int status = query_volume(path, &free_bytes);
  *bytes = status == 0 ? free_bytes : 0;
  return status;
}

void note_space_shortage(const char* destination, uint64_t needed, double free_bytes, bool known) {
  char folder[PATH_SIZE];
  snprintf(folder, sizeof folder, "%s", destination);
  const size_t length = strlen(folder);
  if (length > 1 && is_separator(folder[length - 1])) folder[length - 1] = '\0';
  failure_note_path(folder);
  if (!known) {
    failure_note_reason("the free space could not be found");
    return;
  }
  char need_text[SIZE_TEXT_SIZE], free_text[SIZE_TEXT_SIZE];
  format_size(static_cast<double>(needed), need_text);
  format_size(free_bytes, free_text);
  // Sizes that round alike would hide the shortage: exact bytes then.
  if (strcmp(need_text, free_text) == 0) {
    snprintf(need_text, sizeof need_text, "%llu bytes", static_cast<unsigned long long>(needed));
    snprintf(free_text, sizeof free_text, "%.0f bytes", free_bytes);
  }
  char reason[2 * SIZE_TEXT_SIZE + 16];
  snprintf(reason, sizeof reason, "needs %s, %s free", need_text, free_text);
  failure_note_reason(reason);
}
