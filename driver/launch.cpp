// Launching the recorded command after an extraction, and waiting for it (or
// for the user) before the clean-up.
#include "driver/launch.h"

#include <cstring>

#include "driver/exit_status.h"
#include "driver/run_state.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t WAIT_SLEEP_MS = 250;

// The next space-separated word of text from *cursor, cut in place; null
// when only spaces remain. Quotes have no meaning here.
char* next_word(char** cursor) {
  char* word = *cursor;
  while (*word == ' ') ++word;
  if (*word == '\0') return nullptr;
  char* end = word;
  while (*end != '\0' && *end != ' ') ++end;
  *cursor = *end == '\0' ? end : end + 1;
  *end = '\0';
  return word;
}

bool is_start(const char* word) {
  static const char START[] = "start";
  for (size_t i = 0; i < sizeof START; ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != START[i]) return false;
  }
  return true;
}

bool create_process(const char* command_line, launch_record* out) {
  LOG_MESSAGE(LOG_INFO, "SetCurrentDirecory:[%s]", g_target_path);
  dir_change(g_target_path);
  LOG_MESSAGE(LOG_INFO, "CreateProcess:[%s]", command_line);
  if (!os_process_create(command_line, &out->process)) return false;
  out->created = true;
  return true;
}

bool open_by_association(const char* file, launch_record* out) {
  LOG_MESSAGE(LOG_INFO, "ShellExecute:[%s]", file);
  if (os_shell_open(file, &out->process)) return true;
  failure_note_system();
  failure_note_path(os_shell_opener());
  return false;
}

}  // namespace

bool launch_command(const char* command_line, launch_record* out) {
  out->process = {nullptr, nullptr, 0};
  out->created = false;
  static char scratch[COMMAND_LINE_SIZE];  // too large for the stack on POSIX
  size_t length = strnlen(command_line, sizeof scratch);
  if (length >= sizeof scratch) return false;
  memcpy(scratch, command_line, length + 1);

  char* cursor = scratch;
  const char* first = next_word(&cursor);
  // A command of spaces alone names nothing to start.
  if (first == nullptr) return false;
  if (!is_start(first)) return create_process(command_line, out);
  const char* file = next_word(&cursor);
  if (file == nullptr) return false;
  return open_by_association(file, out);
}

bool launch_is_start(const char* command_line) {
  while (*command_line == ' ') ++command_line;
  // The first word's head and the byte after it tell whether it is "start".
  char head[sizeof "start" + 1];
  size_t length = strnlen(command_line, sizeof head - 1);
  memcpy(head, command_line, length);
  head[length] = '\0';
  char* cursor = head;
  const char* first = next_word(&cursor);
  return first != nullptr && is_start(first);
}

int wait_for_launched(launch_record* record, bool force_prompt) {
  if (record->process.process != nullptr && !force_prompt) {
    os_wait_result result;
    while ((result = os_wait_process_or_input(&record->process)) == OS_WAIT_INPUT) {
      ui_pump_messages();
      if (ui_cancel_requested()) return EXIT_STATUS_FAILURE;
      os_sleep(WAIT_SLEEP_MS);
    }
    LOG_MESSAGE(LOG_INFO, "Process has exited...");
    return result == OS_WAIT_PROCESS_ENDED ? static_cast<int>(record->process.exit_code) : 0;
  }
  ui_show_continue(1);
  while (ui_window_exists(ui_status_window()) && !ui_cancel_requested()) {
    ui_pump_messages();
    os_sleep(WAIT_SLEEP_MS);
  }
  LOG_MESSAGE(LOG_INFO, "UI Window destroyed...");
  // Everything was extracted and launched: a cancel here only ends the wait,
  // and the deletion that follows is the job's last step.
  return 0;
}
