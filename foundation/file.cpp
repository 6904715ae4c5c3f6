// The file access layer's front: status codes, the open-mode table and the
// size, existence and current-directory operations over the back-end.
#include "foundation/file.h"

#include <cstdint>
#include <cstdio>

#include "foundation/failure.h"
#include "foundation/module.h"
#include "foundation/path.h"
#include "foundation/retry.h"

namespace {

constexpr int FILE_MODULE_KEY = 0;
// The directory part handed to the system: the Win32 path length, or any
// POSIX path.
#ifdef _WIN32
constexpr size_t DIR_CHANGE_SIZE = 260;
#else
constexpr size_t DIR_CHANGE_SIZE = PATH_SIZE;
#endif

os_seek_origin to_origin(int origin) {
  if (origin == FILE_SEEK_CUR) return OS_SEEK_CUR;
  if (origin == FILE_SEEK_END) return OS_SEEK_END;
  return OS_SEEK_SET;
}

}  // namespace

int file_start() {
  module_register(FILE_MODULE_KEY, nullptr);
  module_add_exit_hook(file_stop, HOOK_TERMINATE);
  return 0;
}

int file_stop() {
  module_remove_exit_hook(file_stop, HOOK_TERMINATE);
  module_unregister(FILE_MODULE_KEY);
  return 0;
}

int file_open(const char* name, file_handle* handle, uint32_t mode) {
  if (name == nullptr || handle == nullptr) return ERROR_FILE_OPEN;
  os_open_mode os_mode = OS_OPEN_READ;
  if ((mode & FILE_MODE_NEW) != 0) {
    os_mode = (mode & FILE_MODE_PRIVATE) != 0 ? OS_OPEN_NEW_PRIVATE : OS_OPEN_NEW;
  } else if ((mode & FILE_MODE_CREATE) != 0) {
    os_mode = OS_OPEN_ALWAYS;
  } else if ((mode & FILE_MODE_READ_WRITE) != 0) {
    os_mode = OS_OPEN_READ_WRITE;
  } else if ((mode & FILE_MODE_WRITE) != 0) {
    os_mode = OS_OPEN_WRITE;
  }
  file_handle opened = NO_FILE;
  if (!os_file_open(name, os_mode, &opened)) {
    failure_note_system();
    return ERROR_FILE_OPEN;
  }
  *handle = opened;
  return 0;
}

int file_create(const char* name, uint32_t attributes, file_handle* handle) {
  if (os_file_create(name, attributes, handle)) return 0;
  failure_note_system();
  return ERROR_FILE_OPEN;
}

int file_read(file_handle handle, void* buffer, int count, int* done) {
  uint32_t got = 0;
  int status = 0;
  if (count < 0 || !os_file_read(handle, buffer, static_cast<uint32_t>(count), &got)) {
    failure_note_system();
    got = 0;
    status = ERROR_FILE_READ;
  }
  if (got != static_cast<uint32_t>(count)) status = ERROR_FILE_END;
  if (count < 0) status = ERROR_FILE_READ;
  if (done != nullptr) *done = static_cast<int>(got);
  return status;
}

int file_write(file_handle handle, const void* buffer, int count, int* done) {
  uint32_t written = 0;
  int status = 0;
  if (count < 0 || !os_file_write(handle, buffer, static_cast<uint32_t>(count), &written)) {
    failure_note_system();
    written = 0;
    status = ERROR_FILE_WRITE;
  }
  if (done != nullptr) *done = static_cast<int>(written);
  return status;
}

int file_write_all(file_handle handle, const void* buffer, int count) {
  int written = 0;
  int status = file_write(handle, buffer, count, &written);
  return status == 0 && written != count ? ERROR_FILE_WRITE : status;
}

int file_read_at(file_handle handle, uint32_t offset, void* buffer, uint32_t count) {
  uint32_t got = 0;
  if (!os_file_read_at(handle, offset, buffer, count, &got)) {
    failure_note_system();
    return ERROR_FILE_READ;
  }
  return got == count ? 0 : ERROR_FILE_END;
}

int file_write_at(file_handle handle, uint32_t offset, const void* buffer, uint32_t count) {
  uint32_t put = 0;
  if (!os_file_write_at(handle, offset, buffer, count, &put)) {
    failure_note_system();
    return ERROR_FILE_WRITE;
  }
  return 0;
}

int file_set_size(file_handle handle, uint32_t size) {
  if (os_file_set_size(handle, size)) return 0;
  failure_note_system();
  return ERROR_FILE_WRITE;
}

int file_seek(file_handle handle, int32_t offset, int origin) {
  uint32_t position = 0;
  if (!os_file_seek(handle, offset, to_origin(origin), &position)) return ERROR_FILE_SEEK;
  return 0;
}

int file_tell(file_handle handle, int* position) {
  uint32_t where = UINT32_MAX;  // the system's invalid position, reported as -1
  if (!os_file_seek(handle, 0, OS_SEEK_CUR, &where)) where = UINT32_MAX;
  if (position != nullptr) *position = static_cast<int>(where);
  return 0;
}

int file_close(file_handle handle) {
  os_file_close(handle);
  return 0;
}

int file_size(file_handle handle, int* size) {
  int start = 0;
  file_tell(handle, &start);
  uint32_t end = 0;
  bool known = os_file_seek(handle, 0, OS_SEEK_END, &end) && end <= INT32_MAX;
  file_seek(handle, start, FILE_SEEK_SET);
  // A size the layer cannot represent is reported as -1, never as a number
  // that could pass for a real length.
  if (size != nullptr) *size = known ? static_cast<int>(end) : -1;
  return 0;
}

int file_exists(const char* name) {
  file_handle handle = NO_FILE;
  if (name == nullptr || !os_file_open(name, OS_OPEN_READ, &handle)) return ERROR_FILE_NOT_FOUND;
  os_file_close(handle);
  return 0;
}

int file_create_temporary(const char* beside, char* out, size_t size, file_handle* file, uint32_t mode) {
  char drive[PATH_SIZE], dir[PATH_SIZE];
  if (!path_split(beside, drive, dir, nullptr, nullptr)) return ERROR_FILE_OPEN;
  // A few names are tried: another process may be making one of its own.
  constexpr int ATTEMPTS = 100;
  static uint32_t counter = 0;
  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    char name[32];
    snprintf(name, sizeof name, ".qpk%lx-%lu", static_cast<unsigned long>(os_process_id()),
             static_cast<unsigned long>(counter++));
    if (!path_join(out, size, drive, dir, name, ".tmp")) {
      failure_note_too_long(beside);  // the name beside it does not fit
      return ERROR_FILE_OPEN;
    }
    if (file_open(out, file, mode | FILE_MODE_NEW) == 0) return 0;
    if (os_get_attributes(out) == OS_ATTR_INVALID) break;  // not a clash: the folder refuses
  }
  out[0] = '\0';
  return ERROR_FILE_OPEN;
}

int file_commit_temporary(const char* temporary, const char* target) {
  if (file_replace_when_free(temporary, target)) return 0;
  failure_note_system();
  os_file_delete(temporary);
  return ERROR_FILE_WRITE;
}

int dir_change(const char* path) {
  if (path == nullptr) return ERROR_DIR_CHANGE;
  if (os_dir_change(path)) return 0;
  // A path that names a file makes the file's folder current.
  char drive[PATH_SIZE];
  char dir[PATH_SIZE];
  char folder[DIR_CHANGE_SIZE];
  if (!path_split(path, drive, dir, nullptr, nullptr)) return ERROR_DIR_CHANGE;
  if (!path_join(folder, sizeof folder, drive, dir, nullptr, nullptr)) return ERROR_DIR_CHANGE;
  if (folder[0] != 0 && os_dir_change(folder)) return 0;
  return ERROR_DIR_CHANGE;
}
