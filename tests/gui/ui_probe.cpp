// A small program that drives the user interface for the GUI tests. The
// mode is its first argument; it reports what the dispatcher answered on
// standard output, one line at a time, for the driver script to read.
#include <cstdio>
#include <cstring>

#include "tests/gui/probe_windows.h"
#include "ui/bitmap.h"
#include "ui/resource_ids.h"
#include "ui/ui.h"
#include "ui/window.h"

namespace {

constexpr char PROBE_TITLE[] = "QPK2EXE GUI Probe";
constexpr int MAX_EVENTS = 1200;  // 100 ms each: the driver has two minutes

void say(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}

void report_item(int item) {
  int x = 0, y = 0, width = 0, height = 0;
  if (!probe_item_rect(ui_status_window(), item, &x, &y, &width, &height)) return;
  printf("item %d %d %d %d %d\n", item, x, y, width, height);
  fflush(stdout);
}

// Sends progress events until one is answered otherwise than 0.
int run_status(bool open_about) {
  ui_notify(EVENT_DESTINATION, "C:\\Probe\\Destination");
  if (open_about) probe_open_about(ui_status_window());
  say("ready");
  for (int i = 0; i < MAX_EVENTS; ++i) {
    int result = ui_notify(EVENT_EXTRACTING, "C:\\Probe\\Destination\\file.txt");
    if (result != 0) {
      printf("result %d\n", result);
      fflush(stdout);
      return 0;
    }
  }
  say("timeout");
  return 1;
}

int run_continue() {
  ui_notify(EVENT_DESTINATION, "C:\\Probe\\Destination");
  ui_show_continue(1);
  report_item(ITEM_CONTINUE);
  say("ready");
  for (int i = 0; i < MAX_EVENTS && ui_window_exists(ui_status_window()); ++i) {
    ui_pump_messages();
    window_sleep(100);
  }
  say(ui_window_exists(ui_status_window()) ? "timeout" : "continued");
  printf("next %d\n", ui_notify(EVENT_FILE_CREATED, "C:\\Probe\\Destination\\file.txt"));
  fflush(stdout);
  return 0;
}

int run_bitmap() {
  const void* bitmap = nullptr;
  int status = ui_load_bitmap(nullptr, RESOURCE_NAME(RESOURCE_SPLASH_BITMAP), &bitmap);
  if (status != 0) {
    printf("bitmap %d\n", status);
    return 1;
  }
  ui_bitmap_info info = ui_bitmap_read_info(bitmap);
  long offset = static_cast<const char*>(ui_bitmap_bits(bitmap)) - static_cast<const char*>(bitmap);
  printf("bitmap %d %ld %d %d %u\n", status, offset, info.width, info.height, info.colors_used);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  ui_set_title(PROBE_TITLE);
  ui_init();
  int status = 1;
  if (strcmp(mode, "status") == 0) {
    status = run_status(false);
  } else if (strcmp(mode, "about") == 0) {
    status = run_status(true);
  } else if (strcmp(mode, "continue") == 0) {
    status = run_continue();
  } else if (strcmp(mode, "splash") == 0) {
    ui_set_interaction_mode(INTERACTION_QUIET);
    ui_notify(EVENT_SPLASH, nullptr);
    say("splash gone");
    status = 0;
  } else if (strcmp(mode, "error") == 0) {
    say("ready");
    ui_report_error(-8002, "setup.exe /s");
    say("error returned");
  } else if (strcmp(mode, "bitmap") == 0) {
    status = run_bitmap();
  } else {
    fprintf(stderr, "usage: ui_probe status|about|continue|splash|error|bitmap\n");
  }
  ui_term();
  return status;
}
