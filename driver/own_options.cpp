// A Linux self-extractor's own long options: sorting them from the words the
// option table and the recorded command receive, and the actions that write
// no file (help, version, and the archive reports qpk gives too).
#include "driver/own_options.h"

#include <cstdio>
#include <cstring>

#include "archive/access.h"
#include "archive/archive_report.h"
#include "driver/exit_status.h"
#include "driver/failure_message.h"
#include "foundation/backend.h"
#include "foundation/failure.h"
#include "foundation/text_encoding.h"
#include "generated/version.h"
#include "options/options.h"

namespace {

// One line per option, each ended by a newline; %s is the program's name.
const char HELP_TEXT[] =
    "usage: %s [options] [destination] [word...] [-- word...]\n"
    "Extracts its files (into the recorded folder, else destination, else a temporary or the current\n"
    "folder) and runs its recorded command with every word given.\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "  --list             list the files it holds (as qpk list); write nothing\n"
    "  --check            verify every file it holds (as qpk test); write nothing\n"
    "  --info             show the options it was built with (as qpk info)\n"
    "  --target DIR       extract into DIR, as a destination word does\n"
    "  --noexec           extract and keep the files; run no command\n"
    "  --quiet            no banner, no status line: only questions and errors\n"
    "  --overwrite        replace every existing file without asking\n"
    "  --keep-existing    keep every existing file without asking\n"
    "  --                 every later word goes to the command alone, as one argument\n";

enum own_word { WORD_TARGET = 10, WORD_NOEXEC, WORD_QUIET, WORD_OVERWRITE, WORD_KEEP };
struct own_option {
  const char* word;
  int meaning;  // an OWN_ action or an own_word
};
constexpr own_option OWN_OPTIONS[] = {
    {"--help", OWN_HELP},         {"--version", OWN_VERSION},   {"--list", OWN_LIST},
    {"--check", OWN_CHECK},       {"--info", OWN_INFO},         {"--target", WORD_TARGET},
    {"--noexec", WORD_NOEXEC},    {"--quiet", WORD_QUIET},      {"--overwrite", WORD_OVERWRITE},
    {"--keep-existing", WORD_KEEP}};

const char* program_name(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

// Shows "ERROR: BEFORE"WORD"AFTER" (the word, when there is one, quoted);
// ERROR_OWN_OPTION.
int refuse(const char* before, const char* word, const char* after) {
  char message[2 * PATH_SIZE + 128];
  if (word != nullptr)
    snprintf(message, sizeof message, "ERROR: %s\"%s\"%s", before, word, after);
  else
    snprintf(message, sizeof message, "ERROR: %s%s", before, after);
  notify_failure(message);
  return ERROR_OWN_OPTION;
}

int refuse_unknown(const char* word, const char* path) {
  char help[PATH_SIZE + 64];
  snprintf(help, sizeof help, ": \"%s --help\" lists the options", program_name(path));
  return refuse("Invalid option ", word, help);
}

int meaning_of(const char* word) {
  for (const own_option& option : OWN_OPTIONS)
    if (strcmp(option.word, word) == 0) return option.meaning;
  return -1;
}

bool asks_for_help(const char* word) {
  return strcmp(word, "-h") == 0 || strcmp(word, "-?") == 0 || strcmp(word, "/?") == 0;
}

// Takes one long option into choices; *index moves past a consumed value.
int take_option(int argc, char** argv, int* index, extraction_choices* choices, const char** target) {
  const char* word = argv[*index];
  const int meaning = meaning_of(word);
  if (meaning < 0) return refuse_unknown(word, argv[0]);
  bool repeated = false;
  if (meaning < WORD_TARGET) {
    choices->action = meaning;  // alone or refused, once all words are seen
  } else if (meaning == WORD_TARGET) {
    repeated = *target != nullptr;
    if (*index + 1 >= argc || argv[*index + 1][0] == '\0')
      return refuse("Option missing parameter: ", word, " needs the destination folder");
    *target = argv[++*index];
  } else if (meaning == WORD_NOEXEC) {
    repeated = !choices->launch;
    choices->launch = false;
  } else if (meaning == WORD_QUIET) {
    repeated = choices->quiet;
    choices->quiet = true;
  } else {
    const int answer = meaning == WORD_OVERWRITE ? 1 : 0;
    if (choices->overwrite_answer == 1 - answer)
      return refuse("--overwrite and --keep-existing cannot both be given", nullptr, "");
    repeated = choices->overwrite_answer == answer;
    choices->overwrite_answer = answer;
  }
  return repeated ? refuse("Option already set: ", word, "") : 0;
}

// The destination --target names, in the place of a destination word.
int take_target(option_state* options, const char* target) {
  if (positional_count(*options) > 0)
    return refuse("--target and a destination word cannot both be given: --target ", target, "");
  if (strlen(target) >= PATH_SIZE) {
    failure_note_too_long(target);
    return ERROR_WORD_TOO_LONG;
  }
  return positional_add(options, target) == 0 ? 0 : refuse("The destination cannot be kept: ", target, "");
}

void write_file(void*, int stream, const char* text) { fputs(text, stream == REPORT_OUT ? stdout : stderr); }

// An entry name as qpk shows it on Linux: UTF-8 as it is, else Windows-1252.
void show_name(const char* name, char* out, size_t size) {
  if (text_is_utf8(name) || !os_ansi_to_utf8(name, out, size)) snprintf(out, size, "%s", name);
}

}  // namespace

int own_options_parse(option_state* options, int* argc, char** argv, extraction_choices* choices) {
  const int count = *argc;
  int end = count;  // where "--" stands
  for (int i = 1; i < count && end == count; ++i) {
    if (strcmp(argv[i], "--") == 0) end = i;
    // Help is asked for wherever it stands, whatever else the words say.
    if (asks_for_help(argv[i]) || strcmp(argv[i], "--help") == 0) {
      choices->action = OWN_HELP;
      return 0;
    }
  }
  const char* target = nullptr;
  const char* action = nullptr;
  int kept = 1;
  for (int i = 1; i < end; ++i) {
    if (strncmp(argv[i], "--", 2) != 0) {
      argv[kept++] = argv[i];
      continue;
    }
    int status = take_option(end, argv, &i, choices, &target);
    if (status < 0) return status;
    if (choices->action != OWN_EXTRACT && action == nullptr) action = argv[i];
  }
  // A report or the version is all such a run does: other words would be
  // silently left undone.
  if (action != nullptr && count != 2) return refuse("", action, " takes no other words");
  int status = options_parse(options, kept, argv);
  if (status == ERROR_INVALID_OPTION) return refuse_unknown(options_stopped_at(*options), argv[0]);
  if (status == 0 && target != nullptr) status = take_target(options, target);
  if (status < 0) return status;
  for (int i = end + 1; i < count; ++i) argv[kept++] = argv[i];
  *argc = kept;
  return 0;
}

int own_action_run(int action, const char* path) {
  if (action == OWN_HELP) {
    printf(HELP_TEXT, program_name(path));
    return fflush(stdout) == 0 ? 0 : EXIT_STATUS_FAILURE;
  }
  if (action == OWN_VERSION) {
    puts("qpk2exe " QPK_VERSION);
    return fflush(stdout) == 0 ? 0 : EXIT_STATUS_FAILURE;
  }
  const report_output output{write_file, nullptr, path, show_name};
  const archive_file* own = archive_current();
  int status = action == OWN_LIST ? report_list(own, output)
               : action == OWN_CHECK ? report_check(own, output)
                                     : report_info(own, output);
  return fflush(stdout) == 0 ? status : 1;
}
