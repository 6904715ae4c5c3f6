// The terminal back-end: message boxes go to standard error, questions are
// asked on the terminal, and the status window becomes a status line on a
// terminal's standard error. Ctrl-C is the cancel gesture and Enter the
// Continue button while the status line is up.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "ui/window.h"

namespace {

constexpr int LINE_SIZE = 256;
constexpr int MAX_ANSWER_TRIES = 3;

struct console_status {
  bool alive = false;
  char status[LINE_SIZE] = "";
  char detail[LINE_SIZE] = "";
  int tty = -1;  // read without blocking while Continue is offered
  struct sigaction previous_interrupt = {};
};

console_status status_line;
// A status line is on the screen without its line end.
bool line_open = false;
// Ctrl-C while the status line can ask whether to cancel.
volatile sig_atomic_t interrupted = 0;
// SIGTERM, SIGHUP, or Ctrl-C with nobody to ask: the run cancels.
volatile sig_atomic_t stop_requested = 0;

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

void draw_status_line() {
  char line[2 * LINE_SIZE];
  snprintf(line, sizeof line, "%s %s", status_line.status, status_line.detail);
  // One line less than the width: a wrapped line could not be redrawn.
  int width = terminal_width() - 1;
  fprintf(stderr, "\r\033[K%.*s", width, line);
  fflush(stderr);
  line_open = true;
}

// Prints a text without its closing line ends, then one line end.
void print_text(const char* text) {
  size_t length = strlen(text);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
  fprintf(stderr, "%.*s\n", static_cast<int>(length), text);
  fflush(stderr);
}

}  // namespace

// The run is cancelled rather than killed, so that its clean-up runs.
void window_register_classes() {
  struct sigaction action = {};
  action.sa_handler = on_stop;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal_number, &action, nullptr);
}

bool window_cancel_requested() { return stop_requested != 0; }

const uint32_t WINDOW_EXTRACTING_PAUSE_MS = 0;
void window_unregister_classes() {}

ui_window window_create_status(void*) {
  if (!isatty(STDERR_FILENO)) return nullptr;
  status_line = console_status{};
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
    print_text(ui_title());
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
    fprintf(stderr, "Output: %s\n", text);
    return;
  }
  if (item == ITEM_STATUS_LINE) snprintf(status_line.status, sizeof status_line.status, "%s", text);
  if (item == ITEM_DETAIL_LINE) snprintf(status_line.detail, sizeof status_line.detail, "%s", text);
  draw_status_line();
}

void window_show_item(ui_window window, int item, bool show) {
  if (!window_exists(window)) return;
  if (item == ITEM_CONTINUE_HINT && show) {
    end_line();
    print_text("When you are finished, please close the application and press Enter to continue.");
  } else if (item == ITEM_CONTINUE && show && status_line.tty < 0) {
    status_line.tty = open("/dev/tty", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Keys typed before the offer do not count as the answer.
    if (status_line.tty >= 0) tcflush(status_line.tty, TCIFLUSH);
  } else if (item == ITEM_CONTINUE && !show && status_line.tty >= 0) {
    close(status_line.tty);
    status_line.tty = -1;
  }
}

void window_message_box(ui_window, const char*, const char* text) {
  end_line();
  print_text(text);
}

void window_show_result(ui_window, const char*, const char* text) {
  end_line();
  printf("%s\n", text);
  fflush(stdout);
}

bool window_can_ask() {
  int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) return false;
  close(tty);
  return true;
}

bool window_ask_yes_no(ui_window, const char*, const char* question) {
  end_line();
  int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) return false;  // nobody to ask: the safe answer
  bool yes = false;
  for (int attempt = 0; attempt < MAX_ANSWER_TRIES; ++attempt) {
    dprintf(tty, "%s [Y/n] ", question);
    char answer[LINE_SIZE];
    size_t length = 0;
    char c = 0;
    ssize_t got = 0;
    while ((got = read(tty, &c, 1)) == 1 && c != '\n')
      if (length + 1 < sizeof answer) answer[length++] = c;
    if (got != 1) break;  // end of input or an interrupt: No
    answer[length] = '\0';
    if (length == 0 || answer[0] == 'y' || answer[0] == 'Y') {
      yes = true;
      break;
    }
    if (answer[0] == 'n' || answer[0] == 'N') break;
  }
  close(tty);
  return yes;
}

void window_pump() {
  if (!status_line.alive) return;
  if (interrupted) {
    interrupted = 0;
    ui_status_command(&status_line, COMMAND_CANCEL);
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
