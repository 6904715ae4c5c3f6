// Writing a self-extractor after its stub: the option block from the command
// line, the archive byte for byte, and the trailer that points back at it.
#include <cstdio>
#include <cstring>

#include "archive/layout.h"
#include "driver/options.h"
#include "foundation/file.h"

namespace {

struct option_bit {
  const char* word;
  uint32_t bit;
};
// In the order the options are asked for; nopath is handled on its own since
// its absence sets the bit.
constexpr option_bit OPTION_BITS[] = {
    {"q1", SEF_SILENT},           {"q2", SEF_QUIET},
    {"y", SEF_AUTO_YES},          {"n", SEF_AUTO_NO},
    {"deleteafter", SEF_DELETE_AFTER}, {"nosplashonextract", SEF_NO_SPLASH},
    {"nostatus", SEF_NO_STATUS},  {"forcedeleteprompt", SEF_FORCE_DELETE_PROMPT},
};

// Copies an option's parameter into a field of the block; a value that does
// not fit is refused rather than cut.
int copy_parameter(const char* word, char* field, size_t field_size) {
  if (!option_is_set(word)) return 0;
  char value[OPTION_PARAMETER_SIZE] = {};
  int status = option_parameter(word, value);
  if (status < 0) return status;
  size_t length = strlen(value);
  if (length >= field_size) return ERROR_WORD_TOO_LONG;
  memcpy(field, value, length + 1);  // fits: checked above
  return 0;
}

int build_option_block(option_block* block) {
  memset(block, 0, sizeof *block);
  snprintf(block->signature, sizeof block->signature, "%s", OPTION_SIGNATURE);
  for (const option_bit& option : OPTION_BITS)
    if (option_is_set(option.word)) block->flags |= option.bit;
  if (!option_is_set("nopath")) block->flags |= SEF_USE_PATHS;
  int status = copy_parameter("e", block->command, sizeof block->command);
  if (status == 0) status = copy_parameter("name", block->name, sizeof block->name);
  if (status == 0) status = copy_parameter("destinationdirectory", block->destination, sizeof block->destination);
  return status;
}

// file_write counts a partial write as success; an appended record that is
// cut short would leave a broken self-extractor, so it counts as a failure.
int write_whole(file_handle file, const void* data, int count) {
  int written = 0;
  int status = file_write(file, data, count, &written);
  if (status == 0 && written != count) status = ERROR_FILE_WRITE;
  return status;
}

}  // namespace

int se_write_options(const char* exe_path) {
  option_block block;
  int status = build_option_block(&block);
  if (status != 0) return status;
  file_handle file = NO_FILE;
  status = file_open(exe_path, &file, FILE_MODE_WRITE);
  if (status != 0) return status;
  status = file_seek(file, 0, FILE_SEEK_END);
  if (status == 0) status = write_whole(file, &block, sizeof block);
  file_close(file);
  return status;
}

int se_append_archive(const char* archive_path, const char* exe_path) {
  file_handle archive = NO_FILE;
  int status = file_open(archive_path, &archive, FILE_MODE_READ);
  if (status != 0) return status;
  int length = 0;
  file_size(archive, &length);
  file_handle exe = NO_FILE;
  status = file_open(exe_path, &exe, FILE_MODE_WRITE);
  if (status != 0) {
    file_close(archive);
    return status;
  }
  status = file_seek(exe, 0, FILE_SEEK_END);
  if (status == 0) status = copy_bytes(archive, exe, static_cast<uint32_t>(length));
  file_close(exe);
  file_close(archive);
  return status;
}

int se_fix(const char* exe_path, uint32_t archive_offset) {
  file_handle file = NO_FILE;
  int status = file_open(exe_path, &file, FILE_MODE_WRITE);
  if (status != 0) return status;
  status = file_seek(file, 0, FILE_SEEK_END);
  if (status == 0) status = write_whole(file, &archive_offset, TRAILER_SIZE);
  os_file_time now = os_time_now();
  if (!os_file_set_times(file, &now, &now, &now)) status = ERROR_FILE_WRITE;
  file_close(file);
  return status;
}
