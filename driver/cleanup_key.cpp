// The clean-up key: while an extraction that deletes afterwards runs, every
// created file and directory is recorded as one value of a key named after
// the process; the clean-up deletes the recorded paths newest first
// (driver/cleanup_walk.cpp).
#include <cstdio>
#include <cstring>

#include "driver/cleanup_walk.h"
#include "driver/driver.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "ui/ui.h"

namespace {

constexpr size_t KEY_NAME_SIZE = CLEANUP_KEY_NAME_SIZE;
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
  cleanup_key_name_of(static_cast<unsigned long>(os_process_id()), out, size);
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
  // Only what lies inside the target path is this run's to delete.
  cleanup_walk(key_name, g_target_path);
  leave_target_path();
  os_dir_remove(g_target_path);
}
