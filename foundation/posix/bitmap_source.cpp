// POSIX back-end of the bitmap loader: there are no resources, so a bitmap
// always comes from a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "foundation/backend.h"

int os_bitmap_resource_find(void*, const char*, const void**, uint32_t*) { return 0; }

os_file os_bitmap_file_open(const char* name) { return open(name, O_RDONLY | O_CLOEXEC); }

uint32_t os_bitmap_file_read(os_file file, void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t got = read(static_cast<int>(file), static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

uint32_t os_bitmap_file_left(os_file file) {
  struct stat info;
  off_t position = lseek(static_cast<int>(file), 0, SEEK_CUR);
  if (position < 0 || fstat(static_cast<int>(file), &info) != 0 || info.st_size <= position) return 0;
  off_t left = info.st_size - position;
  return left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left);
}

void os_bitmap_file_close(os_file file) { close(static_cast<int>(file)); }

void* os_bitmap_block_alloc(uint32_t size) { return calloc(size, 1); }

void os_bitmap_block_free(void* block) { free(block); }
