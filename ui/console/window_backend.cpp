// The terminal back-end: message boxes go to standard error, questions are
// asked on the terminal, and the status window becomes a status line on a
// terminal's standard error, cut to the terminal's width. Ctrl-C is the
// cancel gesture and Enter the Continue button while the status line is up.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "foundation/path.h"
#include "ui/window.h"

namespace {

constexpr int LINE_SIZE = 256;
constexpr int MAX_ANSWER_TRIES = 3;

struct console_status {
  bool alive = false;
  char status[LINE_SIZE] = "";
  extract_progress progress;
  bool counting = false;        // the progress has been reported
  // Every entry is handled: later texts print as lines of their own, so
  // that a command's output starts on a line of its own.
  bool extraction_over = false;
  int tty = -1;  // read without blocking while Continue is offered
  struct sigaction previous_interrupt = {};
};

console_status status_line;
// The status line's paths, whole: kept apart from the record above (whose -1
// puts it in the program file's initialised data), in zero-filled memory.
struct console_paths {
  char detail[PATH_SIZE];  // the current file
  char output[PATH_SIZE];  // where the files go
};
console_paths status_paths;
// A status line is on the screen without its line end.
bool line_open = false;
// Ctrl-C while the status line can ask whether to cancel.
volatile sig_atomic_t interrupted = 0;
// SIGTERM, SIGHUP, or Ctrl-C with nobody to ask: the run cancels.
volatile sig_atomic_t stop_requested = 0;
// The cancel question is being asked: Ctrl-C there confirms it.
bool asking_cancel = false;

void on_interrupt(int) { interrupted = 1; }
void on_stop(int) { stop_requested = 1; }

void end_line() {
  if (line_open) fputc('\n', stderr);
  line_open = false;
}

int terminal_width() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
  return 80;
}

bool is_continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The length of text cut to at most limit bytes without splitting a UTF-8
// sequence.
size_t cut_length(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  while (limit > 0 && is_continuation_byte(text[limit])) --limit;
  return limit;
}

// The status line: the status, the counts and percentage once known, and the
// detail (the current name). A name too long for the width keeps its end,
// where the file's own name is, after "...".
void draw_status_line() {
  char head[LINE_SIZE + 80];  // the status and the counts
  const extract_progress& progress = status_line.progress;
  if (status_line.counting) {
    const uint64_t percent = progress.bytes_total == 0
                                 ? (progress.files_done == progress.files_total ? 100 : 0)
                                 : progress.bytes_done * 100 / progress.bytes_total;
    snprintf(head, sizeof head, "%s %llu/%llu files %llu%% ", status_line.status,
             static_cast<unsigned long long>(progress.files_done),
             static_cast<unsigned long long>(progress.files_total), static_cast<unsigned long long>(percent));
  } else {
    snprintf(head, sizeof head, "%s ", status_line.status);
  }
  // One column less than the width: a wrapped line could not be redrawn.
  const size_t width = static_cast<size_t>(terminal_width() - 1);
  const char* detail = status_paths.detail;
  size_t head_length = strlen(head);
  size_t detail_length = strlen(detail);
  constexpr char ELLIPSIS[] = "...";
  constexpr size_t ELLIPSIS_LENGTH = sizeof ELLIPSIS - 1;
  const char* cut_mark = "";
  if (head_length + detail_length > width) {
    if (head_length + ELLIPSIS_LENGTH < width) {
      const size_t room = width - head_length - ELLIPSIS_LENGTH;
      detail += detail_length - room;
      while (*detail != '\0' && is_continuation_byte(*detail)) ++detail;
      detail_length = strlen(detail);
      cut_mark = ELLIPSIS;
    } else {
      head_length = cut_length(head, head_length, width);
      detail_length = 0;
    }
  }
  fprintf(stderr, "\r\033[K%.*s%s%.*s", static_cast<int>(head_length), head, cut_mark,
          static_cast<int>(detail_length), detail);
  fflush(stderr);
  line_open = true;
}

// "3 files extracted to /home/me/setup", saying so when some were kept.
void print_summary() {
  const extract_progress& progress = status_line.progress;
  const auto written = static_cast<unsigned long long>(progress.files_written);
  const auto total = static_cast<unsigned long long>(progress.files_total);
  end_line();
  if (written == total)
    fprintf(stderr, "%llu file%s extracted to %s\n", written, written == 1 ? "" : "s", status_paths.output);
  else
    fprintf(stderr, "%llu of %llu files extracted to %s (%llu not overwritten)\n", written, total,
            status_paths.output, total - written);
  fflush(stderr);
}

// Prints a text without its closing line ends, then one line end.
void print_text(FILE* stream, const char* text) {
  size_t length = strlen(text);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
  fprintf(stream, "%.*s\n", static_cast<int>(length), text);
  fflush(stream);
}

// The run is cancelled rather than killed, so that its clean-up runs.
void catch_stop_signals() {
  struct sigaction action = {};
  action.sa_handler = on_stop;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal_number, &action, nullptr);
}

}  // namespace

void window_backend_start() { catch_stop_signals(); }

bool window_cancel_requested() { return stop_requested != 0; }

const uint32_t WINDOW_EXTRACTING_PAUSE_MS = 0;
void window_backend_stop() {}

ui_window window_create_status(void*) {
  if (!isatty(STDERR_FILENO)) return nullptr;
  status_line = console_status{};
  status_paths = console_paths{};
  status_line.alive = true;
  interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &status_line.previous_interrupt);
  return &status_line;
}

ui_window window_create_splash(void*) {
  if (isatty(STDERR_FILENO) && ui_title()[0] != '\0') {
    end_line();
    print_text(stderr, ui_title());
  }
  return nullptr;
}

bool window_exists(ui_window window) { return window == &status_line && status_line.alive; }

void window_destroy(ui_window window) {
  if (!window_exists(window)) return;
  end_line();
  sigaction(SIGINT, &status_line.previous_interrupt, nullptr);
  if (status_line.tty >= 0) close(status_line.tty);
  status_line.tty = -1;
  status_line.alive = false;
}

void window_set_item_text(ui_window window, int item, const char* text) {
  if (!window_exists(window)) return;
  if (item == ITEM_OUTPUT) {
    end_line();
    snprintf(status_paths.output, sizeof status_paths.output, "%s", text);
    fprintf(stderr, "Output: %s\n", text);
    return;
  }
  if (item == ITEM_STATUS_LINE) snprintf(status_line.status, sizeof status_line.status, "%s", text);
  if (item == ITEM_DETAIL_LINE) snprintf(status_paths.detail, sizeof status_paths.detail, "%s", text);
  // After the extraction a status and its detail make one finished line.
  if (status_line.extraction_over && item == ITEM_STATUS_LINE) return;
  draw_status_line();
  if (status_line.extraction_over) end_line();
}

void window_show_progress(ui_window window, const extract_progress& progress) {
  if (!window_exists(window) || status_line.extraction_over) return;
  status_line.progress = progress;
  status_line.counting = true;
  if (status_line.status[0] != '\0') draw_status_line();
  if (progress.files_total == 0 || progress.files_done != progress.files_total) return;
  status_line.extraction_over = true;
  status_line.counting = false;
  print_summary();
}

void window_show_item(ui_window window, int item, bool show) {
  if (!window_exists(window)) return;
  const bool offered = (item == ITEM_CONTINUE_HINT || item == ITEM_CONTINUE) && show;
  if (offered && status_line.tty < 0) {
    status_line.tty = open("/dev/tty", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Keys typed before the offer do not count as the answer; those typed
    // once the hint is shown do.
    if (status_line.tty >= 0) tcflush(status_line.tty, TCIFLUSH);
  }
  if (item == ITEM_CONTINUE_HINT && show) {
    end_line();
    print_text(stderr, "When you are finished, please close the application and press Enter to continue.");
  } else if (item == ITEM_CONTINUE && !show && status_line.tty >= 0) {
    close(status_line.tty);
    status_line.tty = -1;
  }
}

void window_message_box(ui_window, const char*, const char* text) {
  end_line();
  print_text(stderr, text);
}

void window_show_result(ui_window, const char*, const char* text) {
  end_line();
  print_text(stdout, text);
}

bool window_can_ask() {
  int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) return false;
  close(tty);
  return true;
}

// Reads one key of an answer: 1, 0 at the end of input, or -1 with EINTR
// when Ctrl-C or a stop came, also one that came just before the wait began
// (the signals are held until ppoll waits, so none slips in between).
ssize_t read_answer_key(int tty, char* key) {
  sigset_t held, previous;
  sigemptyset(&held);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal_number);
  sigprocmask(SIG_BLOCK, &held, &previous);
  int ready = -1;
  if (!interrupted && !stop_requested) {
    struct pollfd wait = {tty, POLLIN, 0};
    ready = ppoll(&wait, 1, nullptr, &previous);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (ready < 0) {
    errno = EINTR;
    return -1;
  }
  return read(tty, key, 1);
}

// Ctrl-C at a question while the status line is up: at the cancel question
// it confirms the cancel; at any other question the cancel question comes
// first. True when the run is cancelled.
bool cancel_at_question() {
  interrupted = 0;
  if (asking_cancel) return true;
  asking_cancel = true;
  ui_status_command(&status_line, COMMAND_CANCEL);
  asking_cancel = false;
  return !status_line.alive;
}

// Reads a Yes/No answer from a typed line; -1 when it answers nothing.
int read_yes_no(const char* line) {
  if (line[0] == '\0' || line[0] == 'y' || line[0] == 'Y') return ANSWER_YES;
  if (line[0] == 'n' || line[0] == 'N') return ANSWER_NO;
  return -1;
}

// Reads an overwrite answer: Enter, y, Y or yes is Yes; n or no is No; a, A
// or all is All; N or none is None. The case of a word does not count, that
// of a letter only where it tells n (No) from N (None).
int read_overwrite(const char* line) {
  static const struct {
    const char* text;
    window_answer answer;
  } ANSWERS[] = {{"", ANSWER_YES},  {"y", ANSWER_YES},  {"Y", ANSWER_YES},   {"yes", ANSWER_YES},
                 {"n", ANSWER_NO},  {"no", ANSWER_NO},  {"N", ANSWER_NONE},  {"none", ANSWER_NONE},
                 {"a", ANSWER_ALL}, {"A", ANSWER_ALL},  {"all", ANSWER_ALL}};
  const bool letter = strlen(line) <= 1;
  for (const auto& known : ANSWERS)
    if (letter ? strcmp(line, known.text) == 0 : strcasecmp(line, known.text) == 0) return known.answer;
  return -1;
}

constexpr char OVERWRITE_CHOICES[] =
    "Answer y (yes), n (no), a (all: yes to this and every later file) or N (none: no to this and every later "
    "file).";

// Asks the question on the terminal with its choices, reading one line per
// try, until read_answer takes it (a wrong line asks again, with help when
// there is any). Nobody to ask, the end of input, a stop or too many wrong
// lines answer No. Ctrl-C while the status line is up: the cancel question
// comes first; at the cancel question itself it confirms it (Yes).
int ask_on_terminal(const char* question, const char* choices, int (*read_answer)(const char*), const char* help) {
  end_line();
  int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) return ANSWER_NO;
  int answer = ANSWER_NO;
  for (int attempt = 0; attempt < MAX_ANSWER_TRIES; ++attempt) {
    dprintf(tty, "%s [%s] ", question, choices);
    char line[LINE_SIZE];
    size_t length = 0;
    char c = 0;
    ssize_t got = 0;
    while ((got = read_answer_key(tty, &c)) == 1 && c != '\n')
      if (length + 1 < sizeof line) line[length++] = c;
    if (got != 1) {
      // The answer was not ended by Enter: what follows starts a line.
      dprintf(tty, "\n");
      const bool ctrl_c = got < 0 && errno == EINTR && interrupted && status_line.alive;
      if (!ctrl_c) break;  // end of input, or a stop: No
      const bool was_cancel_question = asking_cancel;
      if (cancel_at_question()) {
        answer = was_cancel_question ? ANSWER_YES : ANSWER_NO;
        break;
      }
      --attempt;  // not cancelled: the question again
      continue;
    }
    line[length] = '\0';
    const int taken = read_answer(line);
    if (taken >= 0) {
      answer = taken;
      break;
    }
    if (help != nullptr) dprintf(tty, "%s\n", help);
  }
  close(tty);
  return answer;
}

bool window_ask_yes_no(ui_window, const char*, const char* question) {
  return ask_on_terminal(question, "Y/n", read_yes_no, nullptr) == ANSWER_YES;
}

window_answer window_ask_overwrite(ui_window, const char*, const char* question) {
  return static_cast<window_answer>(ask_on_terminal(question, "Y/n/a/N", read_overwrite, OVERWRITE_CHOICES));
}

void window_pump() {
  if (!status_line.alive) return;
  if (interrupted) {
    interrupted = 0;
    // Nobody to ask: Ctrl-C stops the run as SIGTERM does.
    if (!window_can_ask()) {
      stop_requested = 1;
      return;
    }
    // The terminal showed "^C" where the line stood: the question starts
    // on the next one.
    if (line_open)
      end_line();
    else
      fputc('\n', stderr);
    asking_cancel = true;
    ui_status_command(&status_line, COMMAND_CANCEL);
    asking_cancel = false;
    if (!status_line.alive) return;
  }
  if (status_line.tty < 0) return;
  char keys[64];
  ssize_t got;
  while ((got = read(status_line.tty, keys, sizeof keys)) > 0) {
    if (memchr(keys, '\n', static_cast<size_t>(got)) != nullptr) {
      ui_status_command(&status_line, COMMAND_CONTINUE);
      return;
    }
  }
}

void window_wait_message() { window_sleep(50); }

void window_sleep(uint32_t milliseconds) {
  struct timespec delay = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

void window_exit_process(int status) {
  end_line();
  fflush(nullptr);
  exit(status);
}
