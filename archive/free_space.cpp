// Free bytes for a destination. Win32 asks for the drive of an "X:" path;
// POSIX asks for the path itself, or its nearest existing ancestor when the
// destination is yet to be created.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "archive/extract.h"
#include "foundation/backend.h"
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

}  // namespace

// When the space cannot be determined the result is 0 bytes, so that any
// selection with content fails the space check.
int disk_free_space(const char* path, double* bytes) {
  double free_bytes = 0;
  int status = query_volume(path, &free_bytes);
  *bytes = status == 0 ? free_bytes : 0;
  return status;
}
