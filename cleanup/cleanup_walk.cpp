// The clean-up walk: values are taken from the highest number down, so every
// file inside a directory goes before the directory (a directory is always
// recorded before anything written into it). Each pass asks for the count
// again, so the walk ends when the key is empty.
#include "cleanup/cleanup_key.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "foundation/backend.h"
#include "foundation/log.h"
#include "foundation/path.h"
#include "foundation/text_encoding.h"

namespace {

bool inside_folder(const char* path, const char* folder) {
  size_t length = strlen(folder);
  return length > 0 && strncmp(path, folder, length) == 0 && is_separator(path[length]) &&
         path[length + 1] != '\0';
}

// Every folder from the given one down to the path's own folder must still be
// a real directory: one swapped for a link (or a junction) since it was
// recorded would lead the deletion outside.
bool reached_without_links(const char* path, const char* folder) {
  char prefix[CLEANUP_VALUE_SIZE + 1];
  size_t length = strlen(path);
  const bool utf8 = path_is_utf8(path);
  // By character: a double-byte character may end in a "\" byte.
  for (size_t i = strlen(folder); i < length && i < sizeof prefix;
       i = static_cast<size_t>(path_next_char(path + i, utf8) - path)) {
    if (!is_separator(path[i])) continue;
    memcpy(prefix, path, i);
    prefix[i] = '\0';
    if (!os_is_real_directory(os_get_attributes(prefix))) return false;
  }
  return true;
}

void delete_path(const char* path, const char* recorded_folder) {
  dprintf("Delete: [%s] ...\r\n", path);
  // Win32 records a path holding a UTF-8 name in UTF-8, its folder included:
  // it is compared with the folder in UTF-8.
  const char* folder = recorded_folder;
  char converted[PATH_SIZE * 3];
  if (!PATH_NAMES_UTF8 && text_is_wide_utf8(path) && !text_is_ascii(folder) &&
      os_ansi_to_utf8(folder, converted, sizeof converted))
    folder = converted;
  if (!inside_folder(path, folder) || !reached_without_links(path, folder)) return;
  uint32_t attributes = os_get_attributes(path);
  if (attributes == OS_ATTR_INVALID) return;
  if (attributes & OS_ATTR_DIRECTORY) {
    os_dir_remove(path);
  } else {
    os_set_attributes(path, OS_ATTR_NORMAL);
    os_file_delete(path);
  }
}

}  // namespace

void cleanup_walk(const char* key_name, const char* folder) {
  os_key key = nullptr;
  bool opened = os_key_open(key_name, &key);
  if (!opened) LOG_MESSAGE(LOG_ERROR, "Unable to open main key");
  while (opened) {
    uint32_t count = 0;
    if (!os_key_value_count(key, &count)) {
      LOG_MESSAGE(LOG_ERROR, "Unable to qeury");
      count = 0;
    }
    if (count == 0) break;
    char value_name[CLEANUP_VALUE_NAME_SIZE];
    cleanup_value_name(count - 1, value_name, sizeof value_name);
    // One byte more than the field: the path always ends in a zero.
    char path[CLEANUP_VALUE_SIZE + 1] = {};
    if (!os_key_get_value(key, value_name, path, CLEANUP_VALUE_SIZE)) break;
    delete_path(path, folder);
    if (!os_key_delete_value(key, value_name)) {
      LOG_MESSAGE(LOG_ERROR, "Unable to delete value");
      break;
    }
  }
  if (opened) os_key_close(key);
  os_key_delete(key_name);
}
