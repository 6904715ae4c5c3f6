// The /deleteafter clean-up run: this process's clean-up key, the recording
// callback of an extraction that deletes afterwards, and the clean-up at its
// end (cleanup/cleanup_key.h).
#include "driver/cleanup_run.h"

#include <cstdio>
#include <cstring>

#include "cleanup/cleanup_key.h"
#include "driver/run_state.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/retry.h"
#include "ui/ui.h"

namespace {

// The target path is the current directory after a launch, and a current
// directory cannot be removed on every platform: step out to its parent.
void leave_target_path() {
  char drive[PATH_SIZE], dir[PATH_SIZE], parent[PATH_SIZE];
  if (path_split(g_target_path, drive, dir, nullptr, nullptr) &&
      path_join(parent, sizeof parent, drive, dir, "", "")) {
    dir_change(parent);
  }
}

// The status window stays answerable while the removal waits.
void pump_while_waiting(uint32_t milliseconds, void*) {
  ui_pump_messages();
  os_sleep(milliseconds);
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
  // directory a moment longer: that is waited out. A folder the command left
  // files in stays, at once.
  dir_remove_when_free(g_target_path, RETRY_ENDED_PROCESS, pump_while_waiting, nullptr);
}
