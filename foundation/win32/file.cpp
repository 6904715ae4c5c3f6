// Win32 back-end of the file layer: CreateFileA or CreateFileW, ReadFile, WriteFile,
// SetFilePointer, the end of a file, file times and the DOS date conversion.
#include <windows.h>

#include "foundation/backend.h"
#include "foundation/win32/wide_path.h"

namespace {

HANDLE as_handle(os_file file) { return reinterpret_cast<HANDLE>(file); }

FILETIME to_filetime(os_file_time ticks) {
  return {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

os_file_time from_filetime(const FILETIME& time) {
  return (static_cast<os_file_time>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool os_file_open(const char* name, os_open_mode mode, os_file* out) {
  DWORD access = mode == OS_OPEN_READ    ? GENERIC_READ
                 : mode == OS_OPEN_WRITE ? GENERIC_WRITE
                                         : GENERIC_READ | GENERIC_WRITE;
  // A private new file is an ordinary one here: it has no POSIX mode.
  const bool new_file = mode == OS_OPEN_NEW || mode == OS_OPEN_NEW_PRIVATE;
  DWORD disposition = mode == OS_OPEN_ALWAYS ? OPEN_ALWAYS : new_file ? CREATE_NEW : OPEN_EXISTING;
  // A new file is never made through a link planted at its name: with the
  // flag a link there is the thing that exists, and CREATE_NEW refuses it.
  DWORD flags = FILE_ATTRIBUTE_NORMAL | (new_file ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  wide_path wide;
  if (!wide_path_of(name, &wide)) return false;
  HANDLE opened = wide.wide ? CreateFileW(wide.text, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr)
                            : CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  *out = reinterpret_cast<os_file>(opened);
  return true;
}

bool os_file_create(const char* name, uint32_t attributes, os_file* out) {
  (void)attributes;  // set by path once the file is written
  return os_file_open(name, OS_OPEN_NEW, out);
}

bool os_file_read(os_file file, void* buffer, uint32_t count, uint32_t* done) {
  DWORD got = 0;
  BOOL ok = ReadFile(as_handle(file), buffer, count, &got, nullptr);
  *done = got;
  return ok != FALSE;
}

bool os_file_write(os_file file, const void* buffer, uint32_t count, uint32_t* done) {
  DWORD put = 0;
  BOOL ok = WriteFile(as_handle(file), buffer, count, &put, nullptr);
  *done = put;
  return ok != FALSE;
}

bool os_file_seek(os_file file, int32_t offset, os_seek_origin origin, uint32_t* position) {
  DWORD method = origin == OS_SEEK_CUR ? FILE_CURRENT : origin == OS_SEEK_END ? FILE_END : FILE_BEGIN;
  DWORD result = SetFilePointer(as_handle(file), offset, nullptr, method);
  if (result == INVALID_SET_FILE_POINTER) return false;
  *position = result;
  return true;
}

void os_file_close(os_file file) { CloseHandle(as_handle(file)); }

bool os_file_set_end(os_file file) { return SetEndOfFile(as_handle(file)) != FALSE; }

bool os_file_copy(os_file, os_file, uint32_t, uint32_t* done) {
  *done = 0;  // Win32 has no copy between two open handles
  return false;
}

namespace {

OVERLAPPED at_offset(uint32_t offset) {
  OVERLAPPED where{};
  where.Offset = offset;
  return where;
}

}  // namespace

bool os_file_read_at(os_file file, uint32_t offset, void* buffer, uint32_t count, uint32_t* done) {
  OVERLAPPED where = at_offset(offset);
  DWORD got = 0;
  // Reading at or past the end is no failure: it reads nothing.
  BOOL ok = ReadFile(as_handle(file), buffer, count, &got, &where);
  *done = got;
  return ok != FALSE || GetLastError() == ERROR_HANDLE_EOF;
}

bool os_file_write_at(os_file file, uint32_t offset, const void* buffer, uint32_t count, uint32_t* done) {
  OVERLAPPED where = at_offset(offset);
  DWORD put = 0;
  BOOL ok = WriteFile(as_handle(file), buffer, count, &put, &where);
  *done = put;
  return ok != FALSE && put == count;
}

bool os_file_set_size(os_file file, uint32_t size) {
  LONG high = 0;
  if (SetFilePointer(as_handle(file), static_cast<LONG>(size), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  return SetEndOfFile(as_handle(file)) != FALSE;
}

bool os_file_copy_at(os_file, uint32_t, os_file, uint32_t, uint32_t, uint32_t* done) {
  *done = 0;  // as os_file_copy
  return false;
}

os_file_time os_time_now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return from_filetime(now);
}

bool os_file_set_times(os_file file, const os_file_time* creation,
                       const os_file_time* last_access, const os_file_time* last_write) {
  FILETIME times[3];
  const os_file_time* given[3] = {creation, last_access, last_write};
  const FILETIME* pass[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (given[i] == nullptr) continue;
    times[i] = to_filetime(*given[i]);
    pass[i] = &times[i];
  }
  return SetFileTime(as_handle(file), pass[0], pass[1], pass[2]) != FALSE;
}

bool os_dos_to_file_time(uint16_t dos_date, uint16_t dos_time, os_file_time* out) {
  FILETIME time;
  if (!DosDateTimeToFileTime(dos_date, dos_time, &time)) return false;
  *out = from_filetime(time);
  return true;
}
