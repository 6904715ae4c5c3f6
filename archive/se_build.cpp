// Writing a self-extractor after its stub: the option block it is given, the
// archive byte for byte, and the trailer that points back at the archive.
#include "archive/layout.h"

int se_write_options(file_handle exe, const option_block* block) {
  int status = file_seek(exe, 0, FILE_SEEK_END);
  return status != 0 ? status : file_write_all(exe, block, sizeof *block);
}

int se_append_archive(file_handle archive, file_handle exe) {
  int length = 0;
  file_size(archive, &length);
  if (length < 0) return ERROR_FILE_READ;
  int status = file_seek(archive, 0, FILE_SEEK_SET);
  if (status == 0) status = file_seek(exe, 0, FILE_SEEK_END);
  return status != 0 ? status : copy_bytes(archive, exe, static_cast<uint32_t>(length));
}

int se_fix(file_handle exe, uint32_t archive_offset) {
  int status = file_seek(exe, 0, FILE_SEEK_END);
  if (status == 0) status = file_write_all(exe, &archive_offset, TRAILER_SIZE);
  os_file_time now = os_time_now();
  if (!os_file_set_times(exe, &now, &now, &now)) status = ERROR_FILE_WRITE;
  return status;
}
