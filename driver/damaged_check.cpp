#include "driver/damaged_check.h"

#include "archive/access.h"
#include "archive/executable_image.h"
#include "archive/locate.h"
#include "foundation/file.h"
#include "ui/ui.h"

namespace {

constexpr char DAMAGED_SELF_EXTRACTOR_TEXT[] = "Damaged self-extractor";

}  // namespace

void refuse_damaged_program(const char* path) {
  file_handle file = NO_FILE;
  if (file_open(path, &file, FILE_MODE_READ) != 0) return;
  uint32_t appended = 0;
  const bool damaged = executable_bytes_past_image(file, &appended) == 0 && appended > 0;
  file_close(file);
  if (damaged) ui_report_error(ERROR_OPTION_BLOCK, DAMAGED_SELF_EXTRACTOR_TEXT);
}

void read_own_options(option_block* block) {
  const archive_file* own = archive_current();
  const int status = se_read_options(own->file, own->start, block);
  if (status < 0) ui_report_error(status, DAMAGED_SELF_EXTRACTOR_TEXT);
}
