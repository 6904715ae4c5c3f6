// The file access layer: every file operation of the program, with status
// codes, the open-mode table and no buffering of its own. Positions and sizes
// are 32-bit; files of 2 GiB and more are outside what it supports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/backend.h"

// What file_open hands out: the back-end's file (a HANDLE on Win32, a
// descriptor on POSIX); NO_FILE is no file.
using file_handle = os_file;
constexpr file_handle NO_FILE = OS_NO_FILE;

constexpr int ERROR_FILE_OPEN = -1;
constexpr int ERROR_FILE_READ = -2;
constexpr int ERROR_FILE_WRITE = -3;
constexpr int ERROR_FILE_SEEK = -7;
constexpr int ERROR_FILE_NOT_FOUND = -9;
constexpr int ERROR_FILE_END = -11;
constexpr int ERROR_DIR_CHANGE = -1150;

constexpr uint32_t FILE_MODE_READ = 0;
constexpr uint32_t FILE_MODE_WRITE = 0x001;
constexpr uint32_t FILE_MODE_READ_WRITE = 0x002;
constexpr uint32_t FILE_MODE_CREATE = 0x100;
// A new file, refused when anything (a symbolic link too) is at the path.
constexpr uint32_t FILE_MODE_NEW = 0x200;
// With FILE_MODE_NEW: on POSIX only the owner may open the new file, from its
// creation on, so that nobody holds it open before it is made private.
constexpr uint32_t FILE_MODE_PRIVATE = 0x400;

constexpr int FILE_SEEK_SET = 0;
constexpr int FILE_SEEK_CUR = 1;
constexpr int FILE_SEEK_END = 2;

int file_start();
int file_stop();
int file_open(const char* name, file_handle* handle, uint32_t mode);
// A new file for writing with the permissions of its OS_ATTR_* attributes
// where the system gives them at creation (os_file_create). ERROR_FILE_OPEN,
// with the system's reason noted, when it cannot be made (as when anything is
// at the path already).
int file_create(const char* name, uint32_t attributes, file_handle* handle);
// A negative count is refused with ERROR_FILE_READ / ERROR_FILE_WRITE.
int file_read(file_handle handle, void* buffer, int count, int* done);
int file_write(file_handle handle, const void* buffer, int count, int* done);
// Writes all count bytes: a write that comes up short is ERROR_FILE_WRITE,
// where file_write alone would count it as success.
int file_write_all(file_handle handle, const void* buffer, int count);
// Reads count bytes at offset (ERROR_FILE_END when fewer are there) and
// writes count bytes at offset, without moving the position on POSIX, so that
// threads may share a file; see os_file_read_at.
int file_read_at(file_handle handle, uint32_t offset, void* buffer, uint32_t count);
int file_write_at(file_handle handle, uint32_t offset, const void* buffer, uint32_t count);
// Sets the size: a new file sized first takes its parts at their offsets.
int file_set_size(file_handle handle, uint32_t size);
int file_seek(file_handle handle, int32_t offset, int origin);
int file_tell(file_handle handle, int* position);
int file_close(file_handle handle);
// The size of a file whose end lies at 2 GiB or beyond is reported as -1
// (the status stays 0), never as a length that could pass for real.
int file_size(file_handle handle, int* size);
int file_exists(const char* name);
// A file written whole or not at all: its data goes to a temporary file
// beside its target, which is moved over the target only once complete, so
// that a failure leaves no half-written file and an existing one as it was.
// file_create_temporary makes a new, empty file with a name of its own in the
// folder of beside (the file a caller means to replace with it, or to make by
// renaming it), named into out (size bytes). 0 or ERROR_FILE_OPEN.
int file_create_temporary(const char* beside, char* out, size_t size, file_handle* file,
                          uint32_t mode = FILE_MODE_NEW);
// Moves the closed, finished temporary file over target (replacing a file, or
// a symbolic link as itself), waiting a moment while a scanner holds either.
// ERROR_FILE_WRITE when it cannot: the system's reason is noted and the
// temporary file removed.
int file_commit_temporary(const char* temporary, const char* target);
int dir_change(const char* path);
