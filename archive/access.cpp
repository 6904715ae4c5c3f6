// The engine's one open archive and its notification callback, with the exit
// hooks that close the archive when the foundation services stop.
#include "archive/access.h"

#include "archive/layout.h"
#include "foundation/file.h"
#include "foundation/module.h"

namespace {

file_handle open_archive = NO_FILE;
notify_callback notify = nullptr;

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

// Reads the signature field at the current position: 0 when it matches.
int check_signature(file_handle file) {
  char field[SIGNATURE_FIELD_SIZE];
  int status = file_read(file, field, SIGNATURE_FIELD_SIZE, nullptr);
  if (status != 0) return status;
  return signature_matches(field, ARCHIVE_SIGNATURE) ? 0 : ERROR_ARCHIVE_SIGNATURE;
}

int open_for_reading(const char* path, file_handle* file) {
  if (file_exists(path) != 0) return ERROR_FILE_NOT_FOUND;
  int status = file_open(path, file, FILE_MODE_READ);
  if (status != 0) return status;
  archive_seek_start(*file);
  return check_signature(*file);
}

// An existing archive must be a plain one and is left positioned at its end;
// a missing one is created holding only the signature field.
int open_for_append(const char* path, file_handle* file) {
  if (file_exists(path) == 0) {
    int status = file_open(path, file, FILE_MODE_READ_WRITE);
    if (status != 0) return status;
    status = check_signature(*file);
    if (status == ERROR_FILE_END || status == ERROR_FILE_READ) status = ERROR_ARCHIVE_SIGNATURE;
    if (status == 0) status = file_seek(*file, 0, FILE_SEEK_END);
    return status;
  }
  int status = file_open(path, file, FILE_MODE_CREATE);
  if (status != 0) return status;
  char field[SIGNATURE_FIELD_SIZE] = {};
  for (size_t i = 0; ARCHIVE_SIGNATURE[i] != '\0'; ++i) field[i] = ARCHIVE_SIGNATURE[i];
  int written = 0;
  status = file_write(*file, field, SIGNATURE_FIELD_SIZE, &written);
  if (status == 0 && written != SIGNATURE_FIELD_SIZE) status = ERROR_FILE_WRITE;
  return status;
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
  notify = nullptr;
  module_add_exit_hook(marker_hook, HOOK_TERMINATE);
  module_add_exit_hook(terminate_hook, HOOK_TERMINATE);
  return 0;
}

void archive_set_notify(notify_callback callback) { notify = callback; }

int archive_notify(unsigned event, const char* text) { return notify != nullptr ? notify(event, text) : 0; }

int archive_open(const char* path, uint32_t mode) {
  // One archive at a time: an archive left open is closed rather than leaked.
  archive_close();
  file_handle file = NO_FILE;
  int status = (mode & ARCHIVE_OPEN_APPEND) != 0 ? open_for_append(path, &file) : open_for_reading(path, &file);
  if (status != 0) {
    if (file != NO_FILE) file_close(file);
    return status;
  }
  open_archive = file;
  if (!close_hook_recorded()) {
    module_add_exit_hook(marker_hook, HOOK_TERMINATE);
    module_add_exit_hook(archive_close, HOOK_TERMINATE);
  }
  return 0;
}

int archive_close() {
  if (open_archive != NO_FILE) {
    file_close(open_archive);
    open_archive = NO_FILE;
  }
  return 0;
}

file_handle archive_handle() { return open_archive; }
