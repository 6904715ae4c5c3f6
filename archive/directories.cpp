// Creates the missing directories of a file path, one level at a time,
// reporting each one created. Below the destination nothing is written
// through a link: a folder there must be a real directory.
#include <cstdio>
#include <cstring>

#include "archive/directories.h"
#include "foundation/failure.h"
#include "foundation/path.h"

namespace {

// Whether the first length bytes of built name a directory the memo holds:
// the memo's path itself or one of the folders above it.
bool confirmed_before(const directory_memo& memo, const char* built, size_t length) {
  return strncmp(memo.confirmed, built, length) == 0 &&
         (memo.confirmed[length] == '\0' || is_separator(memo.confirmed[length]));
}

}  // namespace

int make_directories(archive_file* archive, directory_memo* memo, const char* path, size_t chosen) {
  size_t length = strlen(path);
  if (length >= PATH_SIZE) return ERROR_MAKE_DIRECTORY;
  // Only the directory part counts: everything before the last separator,
  // found by character (a double-byte character may end in a "\" byte).
  const char* last_separator = path_last_separator(path);
  const size_t directory_length = last_separator != nullptr ? static_cast<size_t>(last_separator - path) : 0;
  const bool utf8 = path_is_utf8(path);
  char built[PATH_SIZE] = {};
  size_t built_length = 0;
  if (length > 0 && is_separator(path[0])) built[built_length++] = PATH_SEPARATOR;
  size_t start = 0;
  while (start < directory_length) {
    size_t end = start;
    while (end < directory_length && !is_separator(path[end]))
      end = static_cast<size_t>(path_next_char(path + end, utf8) - path);
    size_t component = end - start;
    if (component > 0) {
      // The built path never outgrows the input, which fits PATH_SIZE.
      memcpy(built + built_length, path + start, component);
      built_length += component;
      built[built_length] = '\0';
      if (!confirmed_before(*memo, built, built_length)) {
        const uint32_t attributes = os_get_attributes(built);
        // The chosen folders may be anything that exists, links included.
        const bool present =
            built_length <= chosen ? attributes != OS_ATTR_INVALID : os_is_real_directory(attributes);
        // A link or a file where a folder belongs cannot be made a folder.
        if (!present && !os_dir_create(built)) {
          if (attributes == OS_ATTR_INVALID)
            failure_note_system();
          else
            failure_note_reason("a file or link is where a folder belongs");
          failure_note_path(built_length > chosen ? built + chosen : built);
          return ERROR_MAKE_DIRECTORY;
        }
        if (!present) archive_file_notify(archive, EVENT_DIRECTORY_CREATED, built);
      }
      built[built_length++] = PATH_SEPARATOR;
      built[built_length] = '\0';
    }
    start = end + 1;
  }
  // built holds the directory part and a separator; both fit PATH_SIZE.
  memcpy(memo->confirmed, built, built_length + 1);
  return 0;
}
