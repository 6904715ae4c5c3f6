// The extraction run: what a built self-extractor does. It reads its option
// block, chooses the destination, extracts its own archive there, launches
// the recorded command and, when asked to, deletes what it extracted.
#include <cstring>

#include "archive/access.h"
#include "archive/extract.h"
#include "archive/free_space.h"
#include "archive/layout.h"
#include "archive/locate.h"
#include "archive/option_table.h"
#include "driver/cleanup_run.h"
#include "driver/damaged_check.h"
#include "driver/exit_status.h"
#include "driver/extraction_run.h"
#include "driver/failure_message.h"
#include "driver/launch.h"
#include "driver/run_state.h"
#include "driver/substitute.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/work_crew.h"
#include "options/options.h"
#include "ui/ui.h"

namespace {

#ifdef _WIN32
constexpr bool WAIT_FOR_EVERY_COMMAND = false;
constexpr bool SAYS_CANCELLED = false;
#else
constexpr bool WAIT_FOR_EVERY_COMMAND = true;
// On a terminal a confirmed cancel is named as such, not as a failure to
// extract (the Windows box keeps its text).
constexpr bool SAYS_CANCELLED = true;
#endif


// The block's text fields as zero-terminated texts, read only up to each
// field's size whether or not the field holds a terminating zero.
struct block_texts {
  char command[OPTION_COMMAND_SIZE + 1];
  char name[OPTION_NAME_SIZE + 1];
  char destination[OPTION_DESTINATION_SIZE + 1];
};

block_texts texts_of(const option_block& block) {
  block_texts texts;
  option_block_text(block, *option_definition_of("e"), texts.command, sizeof texts.command);
  option_block_text(block, *option_definition_of("name"), texts.name, sizeof texts.name);
  option_block_text(block, *option_definition_of("destinationdirectory"), texts.destination,
                    sizeof texts.destination);
  return texts;
}

// Copies text into out (size bytes), cut to fit: for texts shown, never run.
void copy_cut(char* out, size_t size, const char* text) {
  size_t length = strnlen(text, size - 1);
  memcpy(out, text, length);
  out[length] = '\0';
}

void apply_interaction_settings(uint32_t flags) {
  if (flags & SEF_QUIET) ui_set_interaction_mode(INTERACTION_QUIET);
  if (flags & SEF_SILENT) ui_set_interaction_mode(INTERACTION_SILENT);
  if (flags & SEF_AUTO_YES) {
    ui_set_response_mode(RESPONSE_AUTOMATIC);
    ui_set_automatic_response(1);
  }
  if (flags & SEF_AUTO_NO) {
    ui_set_response_mode(RESPONSE_AUTOMATIC);
    ui_set_automatic_response(0);
  }
}

// A fresh directory name in the temporary folder: the system makes a unique
// empty file, which is deleted so a directory of its name can take its place.
void make_temporary_name(char* destination, size_t size) {
  char folder[PATH_SIZE] = "";
  const bool named = os_temp_folder(folder, sizeof folder);
  if (!named) folder[0] = '\0';  // never a cut name
  if (!named || !os_temp_file_name(folder, "QOR", destination, size)) {
    failure_note_system();
    failure_note_path(named ? folder : "the temporary folder");
    ui_report_error(REPORT_DIRECTORY_FAILED, folder);
  }
  if (!os_file_delete(destination)) ui_report_error(REPORT_DIRECTORY_FAILED, destination);
}

// The recorded command with "$(Destination)" expanded and every word of the
// self-extractor's own command line appended, each as one shell word (on
// POSIX quoted, so each arrives as exactly one argument and none is run as
// shell syntax). When it does not fit, false, and out holds what could be
// assembled (for the error report only).
bool assemble_command(const char* command, int argc, char** argv, char* out, size_t size) {
  const bool through_shell = !launch_is_start(command);
  if (expand_destination(command, out, size, through_shell) < 0) {
    copy_cut(out, size, command);
    return false;
  }
  size_t used = strlen(out);
  for (int i = 1; i < argc; ++i) {
    char quoted[SHELL_WORD_SIZE];
    const char* word = argv[i];
    if (through_shell && shell_word(argv[i], quoted, sizeof quoted) != 0) return false;
    if (through_shell) word = quoted;
    size_t length = strlen(word);
    if (length + 1 >= size - used) return false;
    out[used++] = ' ';
    memcpy(out + used, word, length + 1);
    used += length;
  }
  return true;
}

// The answer every overwrite question gets, and where the engine's other
// events go: the receiver chose once for the whole run.
int g_overwrite_answer = -1;
notify_callback g_events_after_answer = nullptr;

int answer_overwrite(unsigned event, const char* text) {
  return event == EVENT_OVERWRITE_QUERY ? g_overwrite_answer : g_events_after_answer(event, text);
}

// Launches the recorded command and, when the run deletes afterwards, waits
// for it; the exit status of the run. A command that cannot be assembled or
// launched is a fatal error, after the clean-up.
int run_command(const char* command, int argc, char** argv, uint32_t flags, bool delete_after) {
  static char command_line[COMMAND_LINE_SIZE];  // too large for the stack on POSIX
  launch_record launched;
  // Shown as far as it was assembled; nothing of it is run.
  const bool assembled = assemble_command(command, argc, argv, command_line, sizeof command_line);
  if (assembled) ui_notify(EVENT_EXECUTING, command_line);
  if (!assembled || !launch_command(command_line, &launched)) {
    if (delete_after) cleanup_extracted_paths();
    ui_report_error(REPORT_LAUNCH_FAILED, command_line);
  }
  // On POSIX the command shares the terminal, so the run waits for it there
  // too, and its status becomes the run's.
  int command_status = delete_after || (WAIT_FOR_EVERY_COMMAND && launched.created)
                           ? wait_for_launched(&launched, (flags & SEF_FORCE_DELETE_PROMPT) != 0)
                           : 0;
  if (launched.created) os_process_close(&launched.process);
  return command_status != 0 ? command_status : EXIT_STATUS_SUCCESS;
}

}  // namespace

int extraction_run(const option_state& options, int argc, char** argv, const extraction_choices& choices) {
  LOG_MESSAGE(LOG_INFO, "Extracting...");
  option_block block;
  read_own_options(&block);
  const block_texts texts = texts_of(block);
  uint32_t flags = block.flags;

  if (texts.name[0] != '\0') ui_set_title(texts.name);
  apply_interaction_settings(flags);
  if (choices.quiet) {
    flags |= SEF_NO_SPLASH;
    ui_set_status_allowed(false);
  }
  // Files extracted to run nothing are the receiver's to keep.
  if (!choices.launch) flags &= ~SEF_DELETE_AFTER;

  char destination[PATH_SIZE] = ".";
  if (positional_count(options) > 0) {
    flags &= ~SEF_DELETE_AFTER;
    if (positional_get(options, 0, destination) < 0) destination[0] = '\0';
  }
  if (texts.destination[0] != '\0') {
    flags &= ~SEF_DELETE_AFTER;
    copy_cut(destination, sizeof destination, texts.destination);
  }
  const bool delete_after = (flags & SEF_DELETE_AFTER) != 0;
  if (delete_after) {
    archive_set_notify(record_extracted_path);
    make_temporary_name(destination, sizeof destination);
  }
  if (choices.overwrite_answer >= 0) {
    g_overwrite_answer = choices.overwrite_answer;
    g_events_after_answer = archive_current()->notify;
    archive_set_notify(answer_overwrite);
  }
  if (!os_full_path(destination, g_target_path, sizeof g_target_path)) {
    g_target_path[0] = '\0';
    failure_note_system();
    failure_note_path(destination);
    ui_report_error(REPORT_DIRECTORY_FAILED, destination);
  }
  // The temporary directory lies in a shared folder: private to this user.
  if (delete_after && !os_dir_create_private(g_target_path))
    ui_report_error(REPORT_DIRECTORY_FAILED, g_target_path);

  if (!(flags & SEF_NO_SPLASH)) ui_notify(EVENT_SPLASH, nullptr);
  ui_notify(EVENT_DESTINATION, g_target_path);

#ifndef _WIN32
  // The Windows program's one thread also pumps its window's messages.
  archive_set_threads(work_crew_threads_wanted());
#endif
  const int status = archive_extract("*.*", g_target_path, (flags & SEF_USE_PATHS) ? 1 : 0);
  int exit_status = EXIT_STATUS_FAILURE;
  if (status == ERROR_CANCELLED && SAYS_CANCELLED) {
    ui_notify(EVENT_MESSAGE, "Cancelled");
  } else if (status < 0) {
    notify_failure(status == ERROR_DISK_SPACE ? "Insufficient space to extract files" : "Unable to extract files");
  } else {
    exit_status = texts.command[0] != '\0' && choices.launch
                      ? run_command(texts.command, argc, argv, flags, delete_after)
                      : EXIT_STATUS_SUCCESS;
  }
  // A failed or cancelled run leaves nothing behind either.
  if (delete_after) cleanup_extracted_paths();
  return exit_status;
}
