// Finding the archive inside a file and reading what lies before it: the
// signature check, the trailer that points at an attached archive, and the
// option block.
#include "archive/layout.h"

#include <cstring>

namespace {

// Reads the signature field at offset; 0 when it is the archive's.
int signature_at(file_handle file, uint32_t offset) {
  char field[SIGNATURE_FIELD_SIZE];
  int status = file_seek(file, static_cast<int32_t>(offset), FILE_SEEK_SET);
  if (status == 0) status = file_read(file, field, SIGNATURE_FIELD_SIZE, nullptr);
  if (status != 0) return status;
  return signature_matches(field, ARCHIVE_SIGNATURE) ? 0 : ERROR_ARCHIVE_SIGNATURE;
}

}  // namespace

bool signature_matches(const char* field, const char* signature) {
  size_t length = strlen(signature);
  // The terminating zero is part of the comparison; nothing after it is.
  return length < SIGNATURE_FIELD_SIZE && memcmp(field, signature, length + 1) == 0;
}

int archive_locate(file_handle file, archive_bounds* bounds) {
  int size = 0;
  file_size(file, &size);
  // A file of 2 GiB or more is past what any offset of the format reaches.
  if (size < 0) return ERROR_ARCHIVE_SIGNATURE;
  const uint32_t length = static_cast<uint32_t>(size);
  if (length < SIGNATURE_FIELD_SIZE) return ERROR_FILE_END;
  int status = signature_at(file, 0);
  if (status == 0) {
    *bounds = {0, length};
    return 0;
  }
  uint32_t offset = 0;
  if (file_seek(file, -TRAILER_SIZE, FILE_SEEK_END) != 0 || file_read(file, &offset, TRAILER_SIZE, nullptr) != 0)
    return ERROR_ARCHIVE_SIGNATURE;
  // The signature field must lie before the trailer, whole.
  const uint32_t end = length - TRAILER_SIZE;
  if (offset > end || end - offset < SIGNATURE_FIELD_SIZE) return ERROR_FILE_END;
  status = signature_at(file, offset);
  if (status != 0) return status;
  *bounds = {offset, end};
  return 0;
}

int se_read_options(file_handle file, uint32_t start, option_block* block) {
  memset(block, 0, sizeof *block);
  // A plain archive has nothing before it.
  if (start < sizeof *block) return ERROR_OPTION_BLOCK;
  int status = file_seek(file, static_cast<int32_t>(start - sizeof *block), FILE_SEEK_SET);
  if (status == 0) status = file_read(file, block, sizeof *block, nullptr);
  return status == 0 && signature_matches(block->signature, OPTION_SIGNATURE) ? 0 : ERROR_OPTION_BLOCK;
}

uint32_t se_measure(file_handle file) {
  int size = 0;
  file_size(file, &size);
  return size > 0 ? static_cast<uint32_t>(size) : 0;
}
