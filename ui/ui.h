// The interaction dispatcher and the user interface's start and stop: every
// message and question reaches the user through ui_notify, the extraction's
// progress through ui_progress.
#pragma once

#include <cstddef>

#include "foundation/events.h"
#include "foundation/progress.h"

constexpr int INTERACTION_SILENT = 1;
constexpr int INTERACTION_QUIET = 2;
constexpr int INTERACTION_NORMAL = 3;
constexpr int RESPONSE_ASK = 1;
constexpr int RESPONSE_AUTOMATIC = 2;

// The statuses ui_report_error words itself: "Unable to open launch" and
// "Unable to create directory" with the text given (ERROR_FILE_OPEN is
// "Unable to open file.").
constexpr int REPORT_LAUNCH_FAILED = -8002;
constexpr int REPORT_DIRECTORY_FAILED = -8003;

int ui_notify(unsigned event, const char* text);
// The progress hook: the status window (on a terminal the status line) shows
// how far the extraction is. ERROR_CANCELLED once the user or the system
// cancelled the run.
int ui_progress(const extract_progress& progress);
void ui_set_interaction_mode(int mode);
void ui_set_response_mode(int mode);
void ui_set_automatic_response(int response);
void ui_set_title(const char* title);
// Whether a status window may be opened (not when /nostatus was given).
void ui_set_status_allowed(bool allowed);
void ui_message(const char* text);
// Shows what the run was asked for (the version) where a caller can read it
// (window_show_result).
void ui_show_result(const char* text);
bool ui_ask_yes_no(const char* format, ...);
// An overwrite question about path that no person can answer (window_can_ask)
// is answered No: true, with "<path> exists; not overwritten: no terminal to
// ask" in out (size bytes, cut to fit). False when a person can answer it.
bool ui_overwrite_unasked(const char* path, char* out, size_t size);
// Does not return for a negative status: the process ends with exit status -1.
void ui_report_error(int status, const char* text);
void ui_pump_messages();
// The system asked the process to stop (window_cancel_requested): every
// question and report is then answered ERROR_CANCELLED.
bool ui_cancel_requested();

// The module instance the dialogs, icon and bitmap are loaded from.
void ui_set_instance(void* instance);
// Starts the window back-end before the first event; always 0.
int ui_init();
// Closes a status window still open and stops the back-end, at shut-down.
void ui_term();
void ui_show_continue(int show);
// The status window (none = nullptr) and whether a window still exists.
void* ui_status_window();
bool ui_window_exists(void* window);
