// The entry walk shared by the space check and the extraction.
#include "archive/entry_walk.h"

#include <cstring>

#include "archive/extract.h"
#include "foundation/file.h"

int walk_start(entry_walk* walk, file_handle archive) {
  walk->archive = archive;
  archive_seek_start(archive);
  int status = file_seek(archive, SIGNATURE_FIELD_SIZE, FILE_SEEK_CUR);
  if (status != 0) return status;
  int position = 0;
  file_tell(archive, &position);
  walk->position = static_cast<uint32_t>(position);
  return position < 0 ? ERROR_FILE_SEEK : 0;
}

int walk_read(entry_walk* walk, walk_entry* entry) {
  int status = file_read(walk->archive, &entry->header, sizeof entry->header, nullptr);
  if (status != 0) return 0;
  // The walk never goes past 2^31 - 1, so this cannot wrap.
  entry->data_position = walk->position + sizeof entry->header;
  uint64_t data_end = uint64_t{entry->data_position} + entry->header.stored_size;
  if (data_end > static_cast<uint64_t>(INT32_MAX)) return ERROR_ENTRY_DATA;
  memcpy(entry->name, entry->header.name, ENTRY_NAME_SIZE);
  entry->name[ENTRY_NAME_SIZE] = '\0';
  entry->name_terminated = memchr(entry->header.name, '\0', ENTRY_NAME_SIZE) != nullptr;
  return 1;
}

int walk_skip(entry_walk* walk, const walk_entry* entry) {
  walk->position = entry->data_position + entry->header.stored_size;
  return file_seek(walk->archive, static_cast<int32_t>(walk->position), FILE_SEEK_SET);
}
