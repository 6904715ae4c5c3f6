// Opening an archive for reading: the file, and the bounds its layout gives.
#include "archive/archive_file.h"

int archive_file_open(archive_file* archive, const char* path) {
  archive_file_close(archive);
  if (file_exists(path) != 0) return ERROR_FILE_NOT_FOUND;
  file_handle file = NO_FILE;
  int status = file_open(path, &file, FILE_MODE_READ);
  if (status != 0) return status;
  archive_bounds bounds;
  status = archive_locate(file, &bounds);
  if (status == 0) status = file_seek(file, static_cast<int32_t>(bounds.start + SIGNATURE_FIELD_SIZE), FILE_SEEK_SET);
  return archive_file_adopt(archive, file, bounds, status);
}

int archive_file_adopt(archive_file* archive, file_handle file, const archive_bounds& bounds, int status) {
  if (status != 0) {
    file_close(file);
    return status;
  }
  archive->file = file;
  archive->start = bounds.start;
  archive->end = bounds.end;
  return 0;
}

void archive_file_close(archive_file* archive) {
  if (archive->file != NO_FILE) file_close(archive->file);
  archive->file = NO_FILE;
  archive->start = archive->end = 0;
}

int archive_file_notify(const archive_file* archive, unsigned event, const char* text) {
  return archive->notify != nullptr ? archive->notify(event, text) : 0;
}
