// The build run: the plain builder turns an archive into a self-extractor by
// copying its own executable, then appending the option block, the archive
// and the trailer that gives the archive's offset
// (archive/self_extractor_build.h does the building).
#include <cstdio>
#include <cstring>

#include "archive/layout.h"
#include "archive/option_table.h"
#include "archive/self_extractor_build.h"
#include "driver/build_run.h"
#include "driver/exit_status.h"
#include "driver/failure_message.h"
#include "driver/run_state.h"
#include "driver/substitute.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "generated/version.h"
#include "options/options.h"
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
// that exists). The output takes ".exe" on Win32; on POSIX a named output
// keeps the name given, since nothing there runs a program by its extension.
// A name that does not fit is noted as the failure's path.
bool name_files(const option_state& options, int count, char* archive, char* output) {
  char second[PATH_SIZE] = "";
  if (positional_get(options, 0, archive) < 0 || (count == 2 && positional_get(options, 1, second) < 0)) return false;
  path_parts parts;
  if (!path_split(archive, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  if (parts.ext[0] == '\0') {
    size_t length = strlen(archive);
    if (length + sizeof ".QPK" > PATH_SIZE) {
      failure_note_too_long(archive);
      return false;
    }
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
#ifndef _WIN32
  if (count == 2) {
    snprintf(output, PATH_SIZE, "%s", second);  // both PATH_SIZE: it fits
    return true;
  }
#endif
  if (count == 2 && !path_split(second, parts.drive, parts.dir, parts.name, parts.ext)) return false;
  if (path_join(output, PATH_SIZE, parts.drive, parts.dir, parts.name, ".exe")) return true;
  failure_note_too_long(count == 2 ? second : archive);
  return false;
}

#ifndef _WIN32
bool is_folder(const char* path) {
  const uint32_t attributes = os_get_attributes(path);
  return attributes != OS_ATTR_INVALID && (attributes & OS_ATTR_DIRECTORY) != 0;
}

// A folder where the archive belongs: the builder takes archives only, while
// qpk packs a folder into a self-extractor in one step, which the message
// shows with the words given. True when the run is refused.
bool refuse_folder(const option_state& options, int count, const char* archive) {
  char word[PATH_SIZE];
  char output[PATH_SIZE] = "OUTPUT";
  if (positional_get(options, 0, word) < 0 || (count == 2 && positional_get(options, 1, output) < 0)) return false;
  if (!is_folder(archive) && (file_exists(archive) == 0 || !is_folder(word))) return false;
  static char quoted[2][SHELL_WORD_SIZE];  // too large for the stack together
  static char text[PATH_SIZE + sizeof quoted + 128];
  if (shell_word(word, quoted[0], sizeof quoted[0]) != 0 ||
      (count == 2 && shell_word(output, quoted[1], sizeof quoted[1]) != 0))
    return false;
  snprintf(text, sizeof text,
           "ERROR: \"%s\" is a folder, not a QPK archive\nqpk sfx %s %s packs a folder into a self-extractor", word,
           quoted[0], count == 2 ? quoted[1] : output);
  ui_notify(EVENT_MESSAGE, text);
  return true;
}

// A named output keeps its name here, so it may name a folder: refused before
// the overwrite question, which Yes could only answer with a failed build.
bool refuse_folder_output(const char* output) {
  if (!is_folder(output)) return false;
  char text[PATH_SIZE + 64];
  snprintf(text, sizeof text, "ERROR: \"%s\" is a folder, not a file to write", output);
  ui_notify(EVENT_MESSAGE, text);
  return true;
}
#endif

// Whether the output may be written: asked when it exists, and No when nobody
// can be asked, which leaves the job undone and says so.
bool may_replace(const char* output) {
  if (file_exists(output) != 0) return true;
  char unasked[PATH_SIZE + 64];
  if (ui_overwrite_unasked(output, unasked, sizeof unasked)) {
    notify_failure(unasked);
    return false;
  }
  return ui_notify(EVENT_OVERWRITE_QUERY, output) == 1;
}

}  // namespace

void show_usage(bool asked) {
#ifdef _WIN32
  (void)asked;
  ui_notify(EVENT_MESSAGE, USAGE_TEXT);
#else
  if (asked)
    ui_show_result(USAGE_TEXT);
  else
    ui_notify(EVENT_MESSAGE, USAGE_TEXT);
#endif
}

int build_run(const option_state& options, int argc, char** argv) {
  if (!option_is_set(options, "nosplash")) ui_notify(EVENT_SPLASH, "QPK2EXE V" QPK_VERSION_SHORT);
  int count = positional_count(options);
  if (count == 0 || count > 2) {
    show_usage(argc == 1);
    // Asked for with an empty command line, the usage text is the whole job;
    // options without a file are a mistake (a script's empty archive word).
    return argc == 1 ? EXIT_STATUS_SUCCESS : EXIT_STATUS_FAILURE;
  }
  char archive[PATH_SIZE];
  char output[PATH_SIZE];
  failure_clear();
  bool fits = name_files(options, count, archive, output);
  if (fits && !os_full_path(output, g_target_path, sizeof g_target_path)) {
    failure_note_system();
    failure_note_path(output);
    fits = false;
  }
  if (!fits) {
    g_target_path[0] = '\0';
    notify_failure(PATH_TOO_LONG_TEXT);
    return EXIT_STATUS_FAILURE;
  }
#ifndef _WIN32
  if (refuse_folder(options, count, archive) || refuse_folder_output(output)) return EXIT_STATUS_FAILURE;
#endif
  ui_notify(EVENT_OUTPUT_FILE, g_target_path);
  option_block block;
  if (options_record(options, &block) < 0) {
    ui_notify(EVENT_MESSAGE, OPTION_TOO_LONG_TEXT);
    return EXIT_STATUS_FAILURE;
  }
  se_build_inputs inputs;
  se_result result;
  const bool built = se_open_inputs(argv[0], archive, archive, &inputs, &result) && may_replace(output) &&
                     se_build_output(argv[0], inputs, block, g_target_path, nullptr, &result);
  se_close_inputs(&inputs);
  if (built) return EXIT_STATUS_SUCCESS;
  // A refused overwrite has said why, or the user kept the existing output.
  if (result.status < 0) {
    if (result.path[0] != '\0') failure_note_path(result.path);
    notify_failure(result.message);
  }
  return EXIT_STATUS_FAILURE;
}
