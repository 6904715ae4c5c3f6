// The build run: the plain builder turns an archive into a self-extractor by
// copying its own executable, then appending the option block, the archive
// and the trailer that gives the archive's offset.
#include <cstring>

#include "archive/layout.h"
#include "driver/driver.h"
#include "driver/options.h"
#include "foundation/file.h"
#include "ui/ui.h"

namespace {

constexpr char PATH_TOO_LONG_TEXT[] = "ERROR: Path too long";
constexpr char OPTION_TOO_LONG_TEXT[] = "ERROR: Option too long";

struct path_parts {
  char drive[PATH_SIZE];
  char dir[PATH_SIZE];
  char name[PATH_SIZE];
  char ext[PATH_SIZE];
};

// The archive and output names from one or two positional words: the
// archive gets ".QPK" when it has no extension, the output always ".exe".
bool name_files(int count, char* archive, char* output) {
  char second[PATH_SIZE] = "";
  if (positional_get(0, archive) < 0 || (count == 2 && positional_get(1, second) < 0)) return false;
  path_parts parts;
  if (!path_split(archive, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  if (parts.ext[0] == '\0') {
    size_t length = strlen(archive);
    if (length + sizeof ".QPK" > PATH_SIZE) return false;
    memcpy(archive + length, ".QPK", sizeof ".QPK");
  }
  if (count == 2 && !path_split(second, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  return path_join(output, PATH_SIZE, parts.drive, parts.dir, parts.name, ".exe");
}

// The recorded options must fit their fields of the option block whole: a cut
// command or destination would mean something else. Checked before the stub
// is copied, so that a refusal writes nothing.
bool recorded_options_fit() {
  struct field_limit {
    const char* word;
    size_t size;
  };
  constexpr field_limit LIMITS[] = {
      {"e", OPTION_COMMAND_SIZE}, {"name", OPTION_NAME_SIZE}, {"destinationdirectory", OPTION_DESTINATION_SIZE}};
  for (const field_limit& limit : LIMITS) {
    char value[OPTION_PARAMETER_SIZE] = {};
    if (option_is_set(limit.word) && (option_parameter(limit.word, value) < 0 || strlen(value) >= limit.size))
      return false;
  }
  return true;
}

}  // namespace

int se_copy_stub(const char* source, const char* target) {
  int status = ERROR_COPY_STUB;
  file_handle from = NO_FILE, to = NO_FILE;
  int size = 0;
  if (file_open(source, &from, FILE_MODE_READ) == 0) {
    file_size(from, &size);
    if (file_open(target, &to, FILE_MODE_CREATE) == 0) {
      // An existing target is replaced: copy over it and cut it to length.
      if (copy_bytes(from, to, static_cast<uint32_t>(size)) == 0 && os_file_set_end(to)) status = 0;
      file_close(to);
    }
    file_close(from);
  }
  // Normal attributes, keeping the builder's execute permission on POSIX.
  uint32_t execute = os_get_attributes(source);
  execute = execute == OS_ATTR_INVALID ? 0 : execute & OS_ATTR_EXECUTE;
  os_set_attributes(target, OS_ATTR_NORMAL | execute);
  return status;
}

void build_run(int /*argc*/, char** argv) {
  if (!option_is_set("nosplash")) ui_notify(EVENT_SPLASH, "QPK2EXE V2.1");
  int count = positional_count();
  if (count == 0 || count > 2) {
    ui_notify(EVENT_MESSAGE, USAGE_TEXT);
    return;
  }
  char archive[PATH_SIZE];
  char output[PATH_SIZE];
  if (!name_files(count, archive, output) || !os_full_path(output, g_target_path, sizeof g_target_path)) {
    g_target_path[0] = '\0';
    ui_notify(EVENT_MESSAGE, PATH_TOO_LONG_TEXT);
    return;
  }
  ui_notify(EVENT_OUTPUT_FILE, g_target_path);
  if (!recorded_options_fit()) {
    g_run_status = ERROR_WORD_TOO_LONG;
    ui_notify(EVENT_MESSAGE, OPTION_TOO_LONG_TEXT);
    return;
  }

  g_run_status = file_exists(output);
  if (g_run_status == 0) {
    g_run_status = ui_notify(EVENT_OVERWRITE_QUERY, output);
    if (g_run_status != 1) return;
  }
  g_run_status = se_copy_stub(argv[0], output);
  if (g_run_status < 0) {
    ui_notify(EVENT_MESSAGE, "Error copying self-extractor");
    return;
  }
  g_run_status = se_write_options(output);
  if (g_run_status < 0) {
    ui_notify(EVENT_MESSAGE, "Error appending options to self-extractor");
    return;
  }
  uint32_t archive_offset = se_measure(output);
  g_run_status = se_append_archive(archive, output);
  if (g_run_status < 0) {
    ui_notify(EVENT_MESSAGE, "Error adding QPK to self-extractor");
    return;
  }
  g_run_status = se_fix(output, archive_offset);
  if (g_run_status < 0) ui_notify(EVENT_MESSAGE, "Error fixing self-extractor");
}
