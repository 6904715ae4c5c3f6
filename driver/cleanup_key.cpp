// The clean-up key: while an extraction that deletes afterwards runs, every
// created file and directory is recorded as one value of a key named after
// the process; the clean-up deletes the recorded paths newest first.
#include <cstdio>
#include <cstring>

#include "driver/driver.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "ui/ui.h"

namespace {

constexpr size_t KEY_NAME_SIZE = 64;
constexpr size_t VALUE_NAME_SIZE = 16;

void record_path(const char* text) {
  // Value data is a 255-byte field ending in zeros: a longer path is not
  // recorded, so it is never deleted (and never read back cut short).
  if (strlen(text) >= CLEANUP_VALUE_SIZE) {
    LOG_MESSAGE(LOG_ERROR, "Path too long to record [%s].", text);
    return;
  }
  char key_name[KEY_NAME_SIZE];
  cleanup_key_name(key_name, sizeof key_name);
  os_key key = nullptr;
  if (!os_key_create(key_name, &key)) {
    LOG_MESSAGE(LOG_ERROR, "Unable to open main key");
    return;
  }
  uint32_t count = 0;
  if (!os_key_value_count(key, &count)) {
    // Without the count there is no safe value name: writing one could
    // replace a recorded path.
    LOG_MESSAGE(LOG_ERROR, "Unable to open main key");
    os_key_close(key);
    return;
  }
  char value_name[VALUE_NAME_SIZE];
  snprintf(value_name, sizeof value_name, "%d", static_cast<int>(count));
  char field[CLEANUP_VALUE_SIZE] = {};
  memcpy(field, text, strlen(text));
  if (!os_key_set_value(key, value_name, field, sizeof field)) {
    LOG_MESSAGE(LOG_ERROR, "Unable to set value [%s].", field);
  }
  os_key_close(key);
}

// Only what lies inside the target path is this run's to delete.
bool inside_target(const char* path) {
  size_t length = strlen(g_target_path);
  return length > 0 && strncmp(path, g_target_path, length) == 0 && is_separator(path[length]) &&
         path[length + 1] != '\0';
}

void delete_path(const char* path) {
  dprintf("Delete: [%s] ...\r\n", path);
  if (!inside_target(path)) return;
  uint32_t attributes = os_get_attributes(path);
  if (attributes == OS_ATTR_INVALID) return;
  if (attributes & OS_ATTR_DIRECTORY) {
    os_dir_remove(path);
  } else {
    os_set_attributes(path, OS_ATTR_NORMAL);
    os_file_delete(path);
  }
}

// The target path is the current directory after a launch, and a current
// directory cannot be removed on every platform: step out to its parent.
void leave_target_path() {
  char drive[PATH_SIZE], dir[PATH_SIZE], parent[PATH_SIZE];
  if (path_split(g_target_path, drive, dir, nullptr, nullptr) &&
      path_join(parent, sizeof parent, drive, dir, "", "")) {
    dir_change(parent);
  }
}

}  // namespace

void cleanup_key_name(char* out, size_t size) {
  snprintf(out, size, "Software\\QOR\\QPK2EXE\\%8lx", static_cast<unsigned long>(os_process_id()));
}

int record_extracted_path(unsigned event, const char* text) {
  if ((event == EVENT_FILE_CREATED || event == EVENT_DIRECTORY_CREATED) && text != nullptr) {
    record_path(text);
  }
  return ui_notify(event, text);
}

void cleanup_extracted_paths() {
  char key_name[KEY_NAME_SIZE];
  cleanup_key_name(key_name, sizeof key_name);
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
    char value_name[VALUE_NAME_SIZE];
    snprintf(value_name, sizeof value_name, "%d", static_cast<int>(count - 1));
    char path[CLEANUP_VALUE_SIZE + 1] = {};
    if (!os_key_get_value(key, value_name, path, CLEANUP_VALUE_SIZE)) break;
    delete_path(path);
    if (!os_key_delete_value(key, value_name)) {
      LOG_MESSAGE(LOG_ERROR, "Unable to delete value");
      break;
    }
  }
  if (opened) os_key_close(key);
  os_key_delete(key_name);
  leave_target_path();
  os_dir_remove(g_target_path);
}
