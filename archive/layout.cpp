// Finding the archive inside a file and reading what lies before it: the
// signature check, the trailer walk of archive_seek_start, the option block.
#include "archive/layout.h"

#include <cstring>

#include "foundation/file.h"

bool signature_matches(const char* field, const char* signature) {
  size_t length = strlen(signature);
  // The terminating zero is part of the comparison; nothing after it is.
  return length < SIGNATURE_FIELD_SIZE && memcmp(field, signature, length + 1) == 0;
}

void archive_seek_start(file_handle file) {
  char field[SIGNATURE_FIELD_SIZE];
  file_seek(file, 0, FILE_SEEK_SET);
  if (file_read(file, field, SIGNATURE_FIELD_SIZE, nullptr) == 0 && signature_matches(field, ARCHIVE_SIGNATURE)) {
    file_seek(file, 0, FILE_SEEK_SET);
    return;
  }
  uint32_t offset = 0;
  if (file_seek(file, -TRAILER_SIZE, FILE_SEEK_END) != 0 || file_read(file, &offset, TRAILER_SIZE, nullptr) != 0) {
    // No trailer: the caller's signature read at offset 0 fails as above.
    file_seek(file, 0, FILE_SEEK_SET);
    return;
  }
  // An offset the layer cannot seek to leaves the position at the end of the
  // file, where the caller's signature read fails.
  if (offset > static_cast<uint32_t>(INT32_MAX)) return;
  file_seek(file, static_cast<int32_t>(offset), FILE_SEEK_SET);
}

int se_has_archive(const char* path) {
  file_handle file = NO_FILE;
  if (file_open(path, &file, FILE_MODE_READ) != 0) return 0;
  archive_seek_start(file);
  char field[SIGNATURE_FIELD_SIZE];
  int status = file_read(file, field, SIGNATURE_FIELD_SIZE, nullptr);
  file_close(file);
  return status == 0 && signature_matches(field, ARCHIVE_SIGNATURE) ? 1 : 0;
}

int se_read_options(const char* path, option_block* block) {
  file_handle file = NO_FILE;
  int status = file_open(path, &file, FILE_MODE_READ);
  if (status != 0) return status;
  archive_seek_start(file);
  memset(block, 0, sizeof *block);
  status = file_seek(file, -static_cast<int32_t>(sizeof *block), FILE_SEEK_CUR);
  if (status == 0) status = file_read(file, block, sizeof *block, nullptr);
  file_close(file);
  // A plain archive has nothing before it: the seek back fails, the block stays
  // zero, and it is refused like a block cut short or badly signed.
  if (status != 0 || !signature_matches(block->signature, OPTION_SIGNATURE)) return ERROR_OPTION_BLOCK;
  return 0;
}

uint32_t se_measure(const char* path) {
  file_handle file = NO_FILE;
  if (file_open(path, &file, FILE_MODE_READ) != 0) return 0;
  int size = 0;
  file_size(file, &size);
  file_close(file);
  return static_cast<uint32_t>(size);
}
