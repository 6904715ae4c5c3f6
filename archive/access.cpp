// The program's one open archive over an archive_file, with the exit hooks
// that close the archive when the foundation services stop.
#include "archive/access.h"

#include <cstring>

#include "archive/extract.h"
#include "archive/layout.h"
#include "archive/locate.h"
#include "foundation/module.h"

namespace {

archive_file open_archive;

// Recorded before each closing hook; its only work is removing its record.
int marker_hook() {
  module_remove_exit_hook(marker_hook, HOOK_TERMINATE);
  return 0;
}

int terminate_hook() {
  module_remove_exit_hook(marker_hook, HOOK_TERMINATE);
  module_remove_exit_hook(terminate_hook, HOOK_TERMINATE);
  return 0;
}

// An existing archive must be a plain one and is left positioned at its end;
// a missing one is created holding only the signature field.
int open_for_append(const char* path, archive_file* archive) {
  const bool exists = file_exists(path) == 0;
  file_handle file = NO_FILE;
  int status = file_open(path, &file, exists ? FILE_MODE_READ_WRITE : FILE_MODE_CREATE);
  if (status != 0) return status;
  archive_bounds bounds;
  if (exists) {
    status = archive_locate(file, &bounds);
    if (status != 0 || bounds.start != 0) status = ERROR_ARCHIVE_SIGNATURE;
    if (status == 0) status = file_seek(file, 0, FILE_SEEK_END);
  } else {
    char field[SIGNATURE_FIELD_SIZE] = {};
    memcpy(field, ARCHIVE_SIGNATURE, sizeof ARCHIVE_SIGNATURE);
    status = file_write_all(file, field, SIGNATURE_FIELD_SIZE);
    bounds = {0, SIGNATURE_FIELD_SIZE};
  }
  return archive_file_adopt(archive, file, bounds, status);
}

// The closing hook is recorded once: one more pair per opened archive would
// fill the 100-slot hook table in a process that opens many archives.
bool close_hook_recorded() {
  const exit_hook_slot* slots = module_hook_slots();
  for (int i = 0; i < HOOK_TABLE_SIZE; ++i)
    if (slots[i].hook == archive_close) return true;
  return false;
}

}  // namespace

int archive_init() {
  open_archive.notify = nullptr;
  open_archive.progress = nullptr;
  module_add_exit_hook(marker_hook, HOOK_TERMINATE);
  module_add_exit_hook(terminate_hook, HOOK_TERMINATE);
  return 0;
}

void archive_set_notify(notify_callback callback) { open_archive.notify = callback; }

void archive_set_progress(progress_callback callback) { open_archive.progress = callback; }

void archive_set_threads(unsigned threads) { open_archive.threads = threads; }

int archive_notify(unsigned event, const char* text) { return archive_file_notify(&open_archive, event, text); }

int archive_open(const char* path, uint32_t mode) {
  // One archive at a time: an archive left open is closed rather than leaked.
  archive_close();
  int status = (mode & ARCHIVE_OPEN_APPEND) != 0 ? open_for_append(path, &open_archive)
                                                 : archive_file_open(&open_archive, path);
  if (status != 0) return status;
  if (!close_hook_recorded()) {
    module_add_exit_hook(marker_hook, HOOK_TERMINATE);
    module_add_exit_hook(archive_close, HOOK_TERMINATE);
  }
  return 0;
}

int archive_close() {
  archive_file_close(&open_archive);
  return 0;
}

int archive_extract(const char* pattern, const char* destination, int use_paths) {
  return archive_file_extract(&open_archive, pattern, destination, use_paths);
}

const archive_file* archive_current() { return &open_archive; }
