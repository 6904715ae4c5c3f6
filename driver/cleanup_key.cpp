// This run's clean-up key: the recording callback of an extraction that
// deletes afterwards, and the clean-up at its end (cleanup/cleanup_key.h).
#include <cstdio>
#include <cstring>

#include "cleanup/cleanup_key.h"
#include "driver/driver.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "ui/ui.h"

namespace {

// Up to 5 s: under Wine on a busy machine 1 s was seen to be too short.
constexpr int FOLDER_REMOVAL_ATTEMPTS = 50;
constexpr uint32_t FOLDER_REMOVAL_PAUSE_MS = 100;

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

// A file is recorded when it is about to be written, before any of its data
// is: a run that ends in the middle of it still knows to delete it.
int record_extracted_path(unsigned event, const char* text) {
  if ((event == EVENT_EXTRACTING || event == EVENT_DIRECTORY_CREATED) && text != nullptr) {
    char key_name[CLEANUP_KEY_NAME_SIZE];
    cleanup_key_name(key_name, sizeof key_name);
    cleanup_record(key_name, text);
  }
  return ui_notify(event, text);
}

void cleanup_extracted_paths() {
  char key_name[CLEANUP_KEY_NAME_SIZE];
  cleanup_key_name(key_name, sizeof key_name);
  // Only what lies inside the target path is this run's to delete.
  cleanup_walk(key_name, g_target_path);
  leave_target_path();
  // A command that has just ended may hold the folder as its current
  // directory a moment longer (seen under Wine): try again briefly. A folder
  // the command left files in stays.
  for (int attempt = 0; attempt < FOLDER_REMOVAL_ATTEMPTS && !os_dir_remove(g_target_path); ++attempt) {
    if (os_get_attributes(g_target_path) == OS_ATTR_INVALID) break;
    os_sleep(FOLDER_REMOVAL_PAUSE_MS);
  }
}
