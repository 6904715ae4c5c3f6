// The interaction dispatcher: every message and question passes through
// ui_notify, the extraction's progress through ui_progress; they decide from
// the interaction mode what is shown, keep the windows responsive and answer
// the caller.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/failure.h"
#include "foundation/file.h"
#include "ui/format_cut.h"
#include "ui/overwrite.h"
#include "ui/state.h"
#include "ui/ui.h"
#include "ui/window.h"

ui_state_record ui_state;
// The extraction's destination, for the words after it; zero-filled memory,
// apart from the initialised state record.
static struct {
  char path[PATH_SIZE];
} destination;

// Detail and error text of ui_report_error, terminator included.
#ifdef _WIN32
constexpr int ERROR_TEXT_SIZE = 256;
#else
constexpr int ERROR_TEXT_SIZE = UI_MESSAGE_SIZE;
#endif

void ui_set_interaction_mode(int mode) { ui_state.interaction_mode = mode; }
void ui_set_response_mode(int mode) { ui_state.response_mode = mode; }
void ui_set_automatic_response(int response) { ui_state.automatic_response = response; }
void ui_set_instance(void* instance) { ui_state.instance = instance; }
void ui_set_status_allowed(bool allowed) { ui_state.status_allowed = allowed; }
void* ui_instance() { return ui_state.instance; }
const char* ui_title() { return ui_state.title; }

void ui_set_title(const char* title) {
  snprintf(ui_state.title, sizeof ui_state.title, "%s", title != nullptr ? title : "");
}

// The status window when one is really there; item updates go nowhere else.
static ui_window live_status_window() {
  ui_window window = ui_state.status_window;
  return window != nullptr && window_exists(window) ? window : nullptr;
}

void ui_message(const char* text) {
  // The text is shown as it is, never used as a format; a longer one is cut.
  char shown[UI_MESSAGE_SIZE];
  snprintf(shown, sizeof shown, "%s", text != nullptr ? text : "");
  window_message_box(live_status_window(), ui_state.title, shown);
}

void ui_show_result(const char* text) {
  window_show_result(live_status_window(), ui_state.title, text != nullptr ? text : "");
}

bool ui_ask_yes_no(const char* format, ...) {
  char question[UI_QUESTION_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(question, sizeof question, format, args);
  va_end(args);
  return window_ask_yes_no(live_status_window(), ui_state.title, question);
}

void ui_pump_messages() { window_pump(); }

bool ui_cancel_requested() { return window_cancel_requested(); }

static void set_item(int item, const char* text) {
  ui_window window = live_status_window();
  if (window != nullptr) window_set_item_text(window, item, text != nullptr ? text : "");
}

static void show_splash() {
  ui_window splash = window_create_splash(ui_state.instance);
  while (window_exists(splash)) {
    ui_pump_messages();
    if (window_exists(splash)) window_wait_message();
  }
}

static void open_status_window() {
  if (ui_state.status_exists || !ui_state.status_allowed) return;
  // The flag is set even when creation fails: no second attempt is made.
  ui_state.status_exists = 1;
  ui_state.status_window = window_create_status(ui_state.instance);
}

int ui_notify(unsigned event, const char* text) {
  if (window_cancel_requested()) return ERROR_CANCELLED;
  if (ui_state.interaction_mode == INTERACTION_SILENT) return ui_state.automatic_response;

  if (event == EVENT_ERROR) ui_message(text);
  if (event == EVENT_SPLASH) show_splash();
  if (ui_state.interaction_mode == INTERACTION_QUIET) return ui_state.automatic_response;

  open_status_window();
  switch (event) {
    case EVENT_EXTRACTING:
      set_item(ITEM_STATUS_LINE, "Extracting...");
      set_item(ITEM_DETAIL_LINE, text);
      if (WINDOW_EXTRACTING_PAUSE_MS > 0) window_sleep(WINDOW_EXTRACTING_PAUSE_MS);
      break;
    case EVENT_OVERWRITE_QUERY: {
      const char* path = text != nullptr ? text : "";
      char unasked[UI_MESSAGE_SIZE];
      if (ui_state.response_mode == RESPONSE_ASK && ui_overwrite_unasked(path, unasked, sizeof unasked)) {
        ui_message(unasked);
        ++ui_state.files_kept_unasked;
        return 0;
      }
      if (ui_state.response_mode == RESPONSE_ASK) {
        if (ui_ask_overwrite(live_status_window(), path)) return 1;
      } else if (ui_state.response_mode == RESPONSE_AUTOMATIC) {
        return ui_state.automatic_response;
      }
      break;
    }
    case EVENT_MESSAGE:
      ui_message(text);
      break;
    case EVENT_DESTINATION:
      snprintf(destination.path, sizeof destination.path, "%s", text != nullptr ? text : "");
      set_item(ITEM_OUTPUT, text);
      break;
    case EVENT_OUTPUT_FILE:
      set_item(ITEM_OUTPUT, text);
      break;
    case EVENT_EXECUTING:
      set_item(ITEM_STATUS_LINE, "Executing...");
      set_item(ITEM_DETAIL_LINE, text);
      break;
    default:
      break;
  }

  ui_pump_messages();
  return ui_state.cancel_flag ? ERROR_CANCELLED : ui_state.automatic_response;
}

int ui_progress(const extract_progress& progress) {
  if (window_cancel_requested()) return ERROR_CANCELLED;
  const int mode = ui_state.interaction_mode;
  if (mode == INTERACTION_SILENT || mode == INTERACTION_QUIET) return ui_state.automatic_response;

  open_status_window();
  ui_window window = live_status_window();
  if (window != nullptr) window_show_progress(window, progress);
  const bool over = progress.files_total > 0 && progress.files_done == progress.files_total;
  if (over && ui_state.files_kept_unasked > 0) ui_report_kept_files(progress, window != nullptr, destination.path);
  ui_pump_messages();
  return ui_state.cancel_flag ? ERROR_CANCELLED : ui_state.automatic_response;
}

void ui_report_error(int status, const char* text) {
  if (status >= 0) return;

  char detail[ERROR_TEXT_SIZE];
  const char* given = text != nullptr ? text : "";
  if (status == REPORT_DIRECTORY_FAILED)
    format_cut(detail, sizeof detail, "Unable to create directory \"%s\".", given);
  else if (status == REPORT_LAUNCH_FAILED)
    format_cut(detail, sizeof detail, "Unable to open launch \"%s\".", given);
  else if (status == ERROR_FILE_OPEN)
    snprintf(detail, sizeof detail, "Unable to open file.");
  else
    snprintf(detail, sizeof detail, "%s", given);

  char error_text[ERROR_TEXT_SIZE];
  if (detail[0] != '\0')
    format_cut(error_text, sizeof error_text, "Error (%d): %s\r\n", status, detail);
  else
    snprintf(error_text, sizeof error_text, "Error (%d)\r\n", status);
#ifndef _WIN32
  // On a terminal a second line names what failed and why.
  char reason[ERROR_TEXT_SIZE];
  size_t length = strlen(error_text);
  if (failure_describe(reason, sizeof reason))
    format_cut(error_text + length, sizeof error_text - length, "%s\n", reason);
#endif

  ui_notify(EVENT_ERROR, error_text);
  window_exit_process(-1);
}
