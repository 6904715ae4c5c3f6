// The frame of every run: the argument vector, start-up, the option parse,
// the one run the program's own file calls for, and shut-down.
#include <cstdint>
#include <cstring>

#include "archive/access.h"
#include "archive/layout.h"
#include "driver/driver.h"
#include "driver/options.h"
#include "foundation/foundation.h"
#include "foundation/log.h"
#include "foundation/module.h"
#include "ui/ui.h"

namespace {

// The result of cutting the command line into the argument vector, kept for
// driver_run: a command line of more words than the vector holds is refused.
int g_command_line_status = 0;
char g_module_path[PATH_SIZE];
char* g_argv[ARGUMENT_VECTOR_SIZE];

const char* option_error_text(int status) {
  switch (status) {
    case ERROR_OPTION_MISSING_PARAMETER: return "ERROR: Option missing parameter";
    case ERROR_OPTION_ALREADY_SET: return "ERROR: Option already set";
    case ERROR_INVALID_OPTION: return "ERROR: Invalid option";
    case ERROR_TOO_MANY_WORDS: return "ERROR: Too many words on the command line";
    case ERROR_WORD_TOO_LONG: return "ERROR: Word too long";
    default: return nullptr;
  }
}

void start_up() {
  const uint32_t pool_size = DRIVER_POOL_SIZE;
  int status = foundation_init(&pool_size);
  if (status < 0) module_fatal(status, "main", 338);
  LOG_MESSAGE(LOG_INFO, "Starting...");
  status = archive_init();
  if (status < 0) module_fatal(status, "main", 342);
  status = ui_init();
  if (status < 0) module_fatal(status, "main", 343);
  ui_set_title("QORARC Self-Extractor");
  archive_set_notify(ui_notify);
}

void shut_down() {
  options_free();
  ui_term();
  LOG_MESSAGE(LOG_INFO, "Exiting...");
  foundation_term();
}

// The own path into entry 0; an empty path when it does not fit, which
// driver_run refuses.
int begin_vector() {
  if (!os_module_path(g_module_path, sizeof g_module_path)) g_module_path[0] = '\0';
  g_argv[0] = g_module_path;
  return 1;
}

}  // namespace

int driver_run(int argc, char** argv) {
  start_up();
  if (options_init() < 0) ui_report_error(ERROR_OPTION_STORE, "Fatal Error");
  int status = g_command_line_status < 0 ? g_command_line_status : options_parse(argc, argv);
  if (status < 0) {
    const char* text = option_error_text(status);
    if (text != nullptr) ui_notify(EVENT_MESSAGE, text);
  } else if (argv[0][0] == '\0') {
    ui_report_error(ERROR_PROGRAM_PATH, "Program path too long");
  } else if (se_has_archive(argv[0])) {
    extraction_run(argc, argv);
  } else {
    build_run(argc, argv);
  }
  shut_down();
  return 0;
}

int program_entry(void* instance, char* command_tail) {
  int argc = begin_vector();
  int words = 0;
  g_command_line_status =
      split_command_line(command_tail, &words, g_argv + 1, ARGUMENT_VECTOR_SIZE - 1) < 0 ? ERROR_TOO_MANY_WORDS : 0;
  argc += words;
  ui_set_instance(instance);
  driver_run(argc, g_argv);
  return 0;
}

#ifndef _WIN32
// POSIX: the shell already split the words; they go straight into the vector.
int main(int argc, char** argv) {
  int count = begin_vector();
  if (argc > ARGUMENT_VECTOR_SIZE) g_command_line_status = ERROR_TOO_MANY_WORDS;
  for (int i = 1; i < argc && count < ARGUMENT_VECTOR_SIZE; ++i) g_argv[count++] = argv[i];
  driver_run(count, g_argv);
  return 0;
}
#endif
