// The build run: the plain builder turns an archive into a self-extractor by
// copying its own executable, then appending the option block, the archive
// and the trailer that gives the archive's offset.
#include <cstdio>
#include <cstring>

#include "archive/layout.h"
#include "archive/option_table.h"
#include "driver/driver.h"
#include "driver/options.h"
#include "foundation/failure.h"
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
// archive gets ".QPK" when it has no extension (on POSIX ".qpk" when only
// that exists), the output always ".exe".
bool name_files(int count, char* archive, char* output) {
  char second[PATH_SIZE] = "";
  if (positional_get(0, archive) < 0 || (count == 2 && positional_get(1, second) < 0)) return false;
  path_parts parts;
  if (!path_split(archive, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  if (parts.ext[0] == '\0') {
    size_t length = strlen(archive);
    if (length + sizeof ".QPK" > PATH_SIZE) return false;
    memcpy(archive + length, ".QPK", sizeof ".QPK");
#ifndef _WIN32
    // Names are case-sensitive here: "data" also finds "data.qpk" when there
    // is no "data.QPK".
    if (file_exists(archive) != 0) {
      memcpy(archive + length, ".qpk", sizeof ".qpk");
      if (file_exists(archive) != 0) memcpy(archive + length, ".QPK", sizeof ".QPK");
    }
#endif
  }
  if (count == 2 && !path_split(second, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  return path_join(output, PATH_SIZE, parts.drive, parts.dir, parts.name, ".exe");
}

// The program and the archive, opened and checked before anything is
// written: the archive must be a plain archive (not a self-extractor, nor
// anything else), and the self-extractor made from both must stay within what
// a signed 32-bit offset reaches. Null, or the message naming the problem
// (with %s for the archive's path).
const char* open_inputs(const char* program, const char* archive, file_handle* stub, file_handle* input) {
  if (file_open(program, stub, FILE_MODE_READ) != 0) return "Error copying self-extractor";
  if (file_open(archive, input, FILE_MODE_READ) != 0) {
    failure_note_path(archive);
    return "ERROR: Unable to open the archive \"%s\"";
  }
  // A size of 2 GiB or more is reported as -1, which counts as too large.
  int stub_size = 0, archive_size = 0;
  file_size(*stub, &stub_size);
  file_size(*input, &archive_size);
  const uint64_t total = uint64_t{static_cast<uint32_t>(stub_size)} + sizeof(option_block) +
                         static_cast<uint32_t>(archive_size) + TRAILER_SIZE;
  if (total > static_cast<uint64_t>(INT32_MAX)) return "ERROR: \"%s\" is too large for a self-extractor";
  archive_bounds bounds;
  if (archive_locate(*input, &bounds) != 0 || bounds.start != 0) return "ERROR: \"%s\" is not a QPK archive";
  return nullptr;
}

// Writes the whole self-extractor into the open, empty output; null, or the
// message of the step that failed.
const char* write_self_extractor(file_handle stub, file_handle input, const option_block& block, file_handle exe) {
  g_run_status = se_copy_stub(stub, exe);
  if (g_run_status < 0) return "Error copying self-extractor";
  g_run_status = se_write_options(exe, &block);
  if (g_run_status < 0) return "Error appending options to self-extractor";
  uint32_t archive_offset = se_measure(exe);
  g_run_status = se_append_archive(input, exe);
  if (g_run_status < 0) return "Error adding QPK to self-extractor";
  g_run_status = se_fix(exe, archive_offset);
  return g_run_status < 0 ? "Error fixing self-extractor" : nullptr;
}

// Builds the self-extractor under a temporary name beside the output and
// moves it over the output only when it is whole: a failure leaves no new
// file, and an existing output stays as it was. Null, or the message.
const char* build_output(const char* program, file_handle stub, file_handle input, const option_block& block,
                         const char* output) {
  char temporary[PATH_SIZE];
  file_handle exe = NO_FILE;
  // The output is what a failure here concerns: a full disk or a folder
  // that refuses it.
  if (file_create_temporary(output, temporary, sizeof temporary, &exe) != 0) {
    failure_note_path(output);
    return "Error copying self-extractor";
  }
  const char* failure = write_self_extractor(stub, input, block, exe);
  if (failure != nullptr) failure_note_path(output);
  file_close(exe);
  // Normal attributes, keeping the builder's execute permission on POSIX.
  uint32_t execute = os_get_attributes(program);
  execute = execute == OS_ATTR_INVALID ? 0 : execute & OS_ATTR_EXECUTE;
  os_set_attributes(temporary, OS_ATTR_NORMAL | execute);
  if (failure == nullptr && !os_file_replace(temporary, output)) failure = "Error fixing self-extractor";
  if (failure != nullptr) os_file_delete(temporary);
  return failure;
}

}  // namespace

int se_copy_stub(file_handle source, file_handle target) {
  int size = 0;
  file_size(source, &size);
  if (size < 0 || file_seek(source, 0, FILE_SEEK_SET) != 0) return ERROR_COPY_STUB;
  return copy_bytes(source, target, static_cast<uint32_t>(size)) == 0 ? 0 : ERROR_COPY_STUB;
}

int build_run(int /*argc*/, char** argv) {
  if (!option_is_set("nosplash")) ui_notify(EVENT_SPLASH, "QPK2EXE V2.1");
  int count = positional_count();
  if (count == 0 || count > 2) {
    ui_notify(EVENT_MESSAGE, USAGE_TEXT);
    // Asked for with no words, the usage text is the whole job.
    return count == 0 ? EXIT_STATUS_SUCCESS : EXIT_STATUS_FAILURE;
  }
  char archive[PATH_SIZE];
  char output[PATH_SIZE];
  if (!name_files(count, archive, output) || !os_full_path(output, g_target_path, sizeof g_target_path)) {
    g_target_path[0] = '\0';
    ui_notify(EVENT_MESSAGE, PATH_TOO_LONG_TEXT);
    return EXIT_STATUS_FAILURE;
  }
  ui_notify(EVENT_OUTPUT_FILE, g_target_path);
  option_block block;
  g_run_status = options_record(&block);
  if (g_run_status < 0) {
    ui_notify(EVENT_MESSAGE, OPTION_TOO_LONG_TEXT);
    return EXIT_STATUS_FAILURE;
  }
  file_handle stub = NO_FILE, input = NO_FILE;
  failure_clear();
  const char* failure = open_inputs(argv[0], archive, &stub, &input);
  const char* named = archive;  // the file a failure's message names
  if (failure == nullptr && file_exists(output) == 0) {
    // No is the answer when nobody can be asked; the job is then undone.
    if (!ui_can_ask()) {
      failure = "%s exists; not overwritten: no terminal to ask";
      named = output;
    } else if (ui_notify(EVENT_OVERWRITE_QUERY, output) != 1) {
      failure = "";  // the user keeps the existing output
    }
  }
  if (failure == nullptr) failure = build_output(argv[0], stub, input, block, g_target_path);
  if (stub != NO_FILE) file_close(stub);
  if (input != NO_FILE) file_close(input);
  if (failure == nullptr) return EXIT_STATUS_SUCCESS;
  if (failure[0] != '\0') {
    char text[PATH_SIZE + 64];
    snprintf(text, sizeof text, failure, named);
    notify_failure(text);
  }
  return EXIT_STATUS_FAILURE;
}
