// The frame of every run: the argument vector, start-up, the option parse,
// the one run the program's own file calls for, and shut-down.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "archive/access.h"
#include "driver/build_run.h"
#include "driver/damaged_check.h"
#include "driver/entry.h"
#include "driver/exit_status.h"
#include "driver/extraction_run.h"
#include "driver/failure_message.h"
#include "driver/own_options.h"
#include "foundation/foundation.h"
#include "foundation/log.h"
#include "foundation/module.h"
#include "generated/version.h"
#include "options/options.h"
#include "ui/ui.h"

namespace {

// The program's own path does not fit its PATH_SIZE buffer.
constexpr int ERROR_PROGRAM_PATH_TOO_LONG = -8008;
// The program's own file cannot be found (POSIX: no /proc and no usable name
// it was started by, or a current folder gone).
constexpr int ERROR_PROGRAM_PATH_UNKNOWN = -8010;

constexpr uint32_t DRIVER_POOL_SIZE = 1000000;

// The result of cutting the command line into the argument vector, kept for
// driver_run: a command line of more words than the vector holds is refused.
int g_command_line_status = 0;
char g_module_path[PATH_SIZE];
int g_module_path_error = 0;  // why the own path could not be had
char* g_argv[ARGUMENT_VECTOR_SIZE];

void start_up() {
  const uint32_t pool_size = DRIVER_POOL_SIZE;
  int status = foundation_init(&pool_size);
  if (status < 0) module_fatal(status, "main", 338);
  status = archive_init();
  if (status < 0) module_fatal(status, "main", 342);
  status = ui_init();
  if (status < 0) module_fatal(status, "main", 343);
  ui_set_title("QORARC Self-Extractor");
  archive_set_notify(ui_notify);
  archive_set_progress(ui_progress);
}

void shut_down() {
  ui_term();
  LOG_MESSAGE(LOG_INFO, "Exiting...");
  foundation_term();
}

// A word of the command line asks for the usage text.
bool asks_for_usage(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* help : {"/?", "-?", "-h", "--help"})
      if (strcmp(argv[i], help) == 0) return true;
  return false;
}

// "--version" asks for the version only as the one word of the command line;
// among other words it is an option the table does not know, and refused.
bool asks_for_version(int argc, char** argv) { return argc == 2 && strcmp(argv[1], "--version") == 0; }

// The own path into entry 0; an empty path when it does not fit, which
// driver_run refuses.
int begin_vector() {
  if (!os_module_path(g_module_path, sizeof g_module_path)) {
    g_module_path_error = os_last_error();
    g_module_path[0] = '\0';
  }
  g_argv[0] = g_module_path;
  return 1;
}

// Does not return. On Windows only a path too long for its buffer leaves the
// own path unknown; on POSIX the system's reason says what failed.
void report_unknown_own_path() {
#ifndef _WIN32
  if (g_module_path_error != ENAMETOOLONG) {
    char reason[128];
    os_error_text(g_module_path_error, reason, sizeof reason);
    char text[256];
    snprintf(text, sizeof text,
             "Cannot find the program's own file (neither /proc/self/exe nor the name it was started by): %s",
             reason);
    ui_report_error(ERROR_PROGRAM_PATH_UNKNOWN, text);
  }
#endif
  ui_report_error(ERROR_PROGRAM_PATH_TOO_LONG, "Program path too long");
}

}  // namespace

int driver_run(int argc, char** argv) {
  os_library_search_restrict();
  start_up();
  option_state options;
  if (options_init(&options) < 0) ui_report_error(ERROR_OPTION_STORE, "Fatal Error");
  // The program's own file carrying an archive makes it a self-extractor.
  const bool self_extractor = archive_open(argv[0], ARCHIVE_OPEN_READ) == 0;
  extraction_choices choices;
  int status = g_command_line_status;
#ifdef _WIN32
  if (status == 0) status = options_parse(&options, argc, argv);
#else
  // A Linux self-extractor takes long options of its own.
  if (status == 0) status = self_extractor ? own_options_parse(&options, &argc, argv, &choices)
                                           : options_parse(&options, argc, argv);
#endif
  ui_set_status_allowed(option_is_set(options, "nostatus") == 0);
  if (argv[0][0] == '\0') report_unknown_own_path();
  // Only the builder may take the log library from beside itself: a
  // self-extractor lies where others can drop one.
  if (!self_extractor) log_set_enabled(log_open_beside_program() == 0);
  LOG_MESSAGE(LOG_INFO, "Starting...");
  int exit_status = EXIT_STATUS_FAILURE;
  if (!self_extractor && asks_for_usage(argc, argv)) {
    show_usage(true);
    exit_status = EXIT_STATUS_SUCCESS;
  } else if (!self_extractor && asks_for_version(argc, argv)) {
    ui_show_result("qpk2exe " QPK_VERSION);
    exit_status = EXIT_STATUS_SUCCESS;
  } else if (status < 0) {
    const char* text = options_error_text(status);
    if (text != nullptr) notify_failure(text);
#ifndef _WIN32
  } else if (self_extractor && choices.action != OWN_EXTRACT) {
    exit_status = own_action_run(choices.action, argv[0]);
#endif
  } else if (self_extractor) {
    exit_status = extraction_run(options, argc, argv, choices);
  } else {
    refuse_damaged_program(argv[0]);
    exit_status = build_run(options, argc, argv);
  }
  options_free(&options);
  shut_down();
  return exit_status;
}

int program_entry(void* instance, char* command_tail) {
  int argc = begin_vector();
  int words = 0;
  g_command_line_status =
      split_command_line(command_tail, &words, g_argv + 1, ARGUMENT_VECTOR_SIZE - 1) < 0 ? ERROR_TOO_MANY_WORDS : 0;
  argc += words;
  ui_set_instance(instance);
  return driver_run(argc, g_argv);
}

#ifndef _WIN32
// POSIX: the shell already split the words; they go straight into the vector.
int main(int argc, char** argv) {
  int count = begin_vector();
  if (argc > ARGUMENT_VECTOR_SIZE) g_command_line_status = ERROR_TOO_MANY_WORDS;
  for (int i = 1; i < argc && count < ARGUMENT_VECTOR_SIZE; ++i) g_argv[count++] = argv[i];
  return driver_run(count, g_argv);
}
#endif
