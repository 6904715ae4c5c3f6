// Finding the archive inside a file and reading what lies before it: the
// signature check, the trailer that points at an attached archive (in a
// signed file, before the certificate table), and the option block.
#include "archive/locate.h"

#include <algorithm>
#include <cstring>

#include "archive/executable_image.h"
#include "foundation/little_endian.h"

namespace {

// Reads the signature field at offset; 0 when it is the archive's.
int signature_at(file_handle file, uint32_t offset) {
  char field[SIGNATURE_FIELD_SIZE];
  int status = file_seek(file, static_cast<int32_t>(offset), FILE_SEEK_SET);
  if (status == 0) status = file_read(file, field, SIGNATURE_FIELD_SIZE, nullptr);
  if (status != 0) return status;
  return signature_matches(field, ARCHIVE_SIGNATURE) ? 0 : ERROR_ARCHIVE_SIGNATURE;
}

// The archive a trailer ending at trailer_end points at: 0 and *bounds set
// when its signature field lies whole before the trailer.
int archive_at(file_handle file, uint32_t trailer_end, uint32_t offset, archive_bounds* bounds) {
  const uint32_t end = trailer_end - TRAILER_SIZE;
  if (offset > end || end - offset < SIGNATURE_FIELD_SIZE) return ERROR_FILE_END;
  int status = signature_at(file, offset);
  if (status == 0) *bounds = {offset, end};
  return status;
}

// A signed file: the signer appended its certificate table at table, after
// zero bytes that align it. How many it added is not recorded, so the
// trailer is taken as ending where each run of zeros before the table starts,
// shortest first, and the first one that points at the archive's signature is
// the archive's. The status of the 4 bytes right before the table otherwise.
int locate_before_certificate(file_handle file, uint32_t table, archive_bounds* bounds) {
  uint8_t tail[TRAILER_SIZE + CERTIFICATE_ALIGNMENT_LIMIT];
  const uint32_t count = std::min<uint32_t>(table, sizeof tail);
  if (file_seek(file, static_cast<int32_t>(table - count), FILE_SEEK_SET) != 0 ||
      file_read(file, tail, static_cast<int>(count), nullptr) != 0)
    return ERROR_ARCHIVE_SIGNATURE;
  int first = ERROR_ARCHIVE_SIGNATURE;
  for (uint32_t padding = 0; padding + TRAILER_SIZE <= count; ++padding) {
    if (padding > 0 && tail[count - padding] != 0) break;
    int status = archive_at(file, table - padding, le_u32(tail + count - padding - TRAILER_SIZE), bounds);
    if (status == 0) return 0;
    if (padding == 0) first = status;
  }
  return first;
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
  pe_security_directory security;
  if (pe_security_find(file, &security) == 0 && security.size != 0 && security.offset >= TRAILER_SIZE &&
      uint64_t{security.offset} + security.size == length)
    return locate_before_certificate(file, security.offset, bounds);
  uint8_t trailer[TRAILER_SIZE];
  if (file_seek(file, -TRAILER_SIZE, FILE_SEEK_END) != 0 || file_read(file, trailer, TRAILER_SIZE, nullptr) != 0)
    return ERROR_ARCHIVE_SIGNATURE;
  return archive_at(file, length, le_u32(trailer), bounds);
}

int se_read_options(file_handle file, uint32_t start, option_block* block) {
  memset(block, 0, sizeof *block);
  // A plain archive has nothing before it.
  if (start < sizeof *block) return ERROR_OPTION_BLOCK;
  int status = file_seek(file, static_cast<int32_t>(start - sizeof *block), FILE_SEEK_SET);
  if (status == 0) status = file_read(file, block, sizeof *block, nullptr);
  return status == 0 && signature_matches(block->signature, OPTION_SIGNATURE) ? 0 : ERROR_OPTION_BLOCK;
}
