// The entry walk shared by the space check and the extraction.
#include "archive/entry_walk.h"

#include <cstring>

#include "archive/extract.h"
#include "foundation/file.h"

int walk_start(file_handle archive) {
  archive_seek_start(archive);
  return file_seek(archive, SIGNATURE_FIELD_SIZE, FILE_SEEK_CUR);
}

int walk_read(file_handle archive, walk_entry* entry) {
  int status = file_read(archive, &entry->header, sizeof entry->header, nullptr);
  if (status != 0) return 0;
  int position = 0;
  file_tell(archive, &position);
  entry->data_position = static_cast<uint32_t>(position);
  uint64_t data_end = uint64_t{entry->data_position} + entry->header.stored_size;
  if (position < 0 || data_end > static_cast<uint64_t>(INT32_MAX)) return ERROR_ENTRY_DATA;
  memcpy(entry->name, entry->header.name, ENTRY_NAME_SIZE);
  entry->name[ENTRY_NAME_SIZE] = '\0';
  entry->name_terminated = memchr(entry->header.name, '\0', ENTRY_NAME_SIZE) != nullptr;
  return 1;
}

int walk_skip(file_handle archive, const walk_entry* entry) {
  return file_seek(archive, static_cast<int32_t>(entry->data_position + entry->header.stored_size), FILE_SEEK_SET);
}
