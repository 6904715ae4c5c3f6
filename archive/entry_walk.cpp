// The entry walk and the entry check, shared by the extraction and qpk.
#include "archive/entry_walk.h"

#include <cstring>

#include "archive/entry_target.h"
#include "archive/extract.h"

namespace {

// Makes the block hold [offset, offset + count), which lies before the
// archive's end and fits the block, reading as much from offset as fits.
int hold(const entry_walk* walk, uint32_t offset, uint32_t count) {
  walk_block* block = walk->block;
  if (offset >= block->start && count <= block->length && offset - block->start <= block->length - count) return 0;
  const uint32_t left = walk->archive->end - offset;
  const uint32_t length = left < block->size ? left : block->size;
  block->start = offset;
  block->length = 0;
  int status = file_read_at(walk->archive->file, offset, block->bytes, length);
  if (status == 0) block->length = length;
  return status;
}

int read_header(const entry_walk* walk, entry_header* header) {
  if (walk->block == nullptr) return file_read(walk->archive->file, header, sizeof *header, nullptr);
  int status = hold(walk, walk->position, sizeof *header);
  if (status == 0) memcpy(header, walk->block->bytes + (walk->position - walk->block->start), sizeof *header);
  return status;
}

}  // namespace

int walk_start(entry_walk* walk, const archive_file* archive) {
  walk->archive = archive;
  walk->position = archive->start + SIGNATURE_FIELD_SIZE;
  walk->problem = nullptr;
  walk->block = nullptr;
  return file_seek(archive->file, static_cast<int32_t>(walk->position), FILE_SEEK_SET);
}

int walk_start_blocked(entry_walk* walk, const archive_file* archive, walk_block* block) {
  walk->archive = archive;
  walk->position = archive->start + SIGNATURE_FIELD_SIZE;
  walk->problem = nullptr;
  walk->block = block;
  block->length = 0;
  return 0;
}

int walk_read(entry_walk* walk, walk_entry* entry) {
  // The archive was located with its signature field before its end.
  const uint32_t left = walk->archive->end - walk->position;
  if (left == 0) return 0;
  if (left < sizeof entry->header) {
    walk->problem = "bytes too few for an entry header follow the last entry";
    return ERROR_ENTRY_DATA;
  }
  int status = read_header(walk, &entry->header);
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
  if (walk->block != nullptr) return 0;
  return file_seek(walk->archive->file, static_cast<int32_t>(walk->position), FILE_SEEK_SET);
}

const uint8_t* walk_entry_data(entry_walk* walk, const walk_entry& entry, int* status) {
  *status = 0;
  if (walk->block == nullptr || entry.header.stored_size > walk->block->size) return nullptr;
  *status = hold(walk, entry.data_position, entry.header.stored_size);
  return *status == 0 ? walk->block->bytes + (entry.data_position - walk->block->start) : nullptr;
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
