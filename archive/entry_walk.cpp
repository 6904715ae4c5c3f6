// The entry walk and the entry check, shared by the extraction and qpk.
#include "archive/entry_walk.h"

#include <cstring>

#include "archive/entry_target.h"
#include "archive/extract.h"

int walk_start(entry_walk* walk, const archive_file* archive) {
  walk->archive = archive;
  walk->position = archive->start + SIGNATURE_FIELD_SIZE;
  walk->problem = nullptr;
  return file_seek(archive->file, static_cast<int32_t>(walk->position), FILE_SEEK_SET);
}

int walk_read(entry_walk* walk, walk_entry* entry) {
  // The archive was located with its signature field before its end.
  const uint32_t left = walk->archive->end - walk->position;
  if (left == 0) return 0;
  if (left < sizeof entry->header) {
    walk->problem = "bytes too few for an entry header follow the last entry";
    return ERROR_ENTRY_DATA;
  }
  int status = file_read(walk->archive->file, &entry->header, sizeof entry->header, nullptr);
  if (status != 0) {
    walk->problem = "an entry header cannot be read";
    return status;
  }
  entry->data_position = walk->position + sizeof entry->header;
  memcpy(entry->name, entry->header.name, ENTRY_NAME_SIZE);
  entry->name[ENTRY_NAME_SIZE] = '\0';
  entry->name_terminated = memchr(entry->header.name, '\0', ENTRY_NAME_SIZE) != nullptr;
  // Compared with what is left rather than added, which could wrap.
  if (entry->header.stored_size > walk->archive->end - entry->data_position) {
    walk->problem = "an entry's data runs past the end of the archive";
    return ERROR_ENTRY_DATA;
  }
  return 1;
}

int walk_skip(entry_walk* walk, const walk_entry* entry) {
  walk->position = entry->data_position + entry->header.stored_size;
  return file_seek(walk->archive->file, static_cast<int32_t>(walk->position), FILE_SEEK_SET);
}

const char* entry_problem(const walk_entry& entry) {
  if (!entry.name_terminated) return "the name has no terminating zero";
  if (const char* problem = entry_name_problem(entry.name)) return problem;
  const entry_header& header = entry.header;
  if (header.method != METHOD_DEFLATED && header.method != METHOD_STORED) return "the method is unknown";
  // Stored data is the content itself; other sizes would defeat the space check.
  if (header.method == METHOD_STORED && header.stored_size != header.content_size)
    return "the stored data's size differs from the content's";
  return nullptr;
}

int entry_check(const walk_entry& entry) {
  if (entry_problem(entry) == nullptr) return 0;
  if (!entry.name_terminated || entry_name_problem(entry.name) != nullptr) return ERROR_ENTRY_NAME;
  return entry.header.method == METHOD_STORED ? ERROR_SIZE_MISMATCH : ERROR_ENTRY_DATA;
}
