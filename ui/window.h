// The window back-end: what the portable dispatcher needs from a platform's
// windows. ui/win32/ implements it with real windows, ui/console/ with a
// terminal and ui/fake/ records the calls for tests. Like every back-end
// header it includes no status header (<windows.h> macros would clash).
#pragma once

#include <cstdint>

// The status dialog's items (ITEM_STATUS_LINE ... ITEM_CONTINUE_HINT), shared
// with the resource script.
#include "ui/resource_ids.h"
// The extraction progress record (no statuses in it).
#include "foundation/progress.h"

// A window of the back-end; none = nullptr.
using ui_window = void*;

// Commands the status window acts on (the whole command parameter): OK and
// Cancel are the platform's standard ids, Continue is its button's id.
constexpr unsigned COMMAND_OK = 1;
constexpr unsigned COMMAND_CANCEL = 2;
constexpr unsigned COMMAND_CONTINUE = ITEM_CONTINUE;

// Text sizes, terminator included. On POSIX a message or question names its
// paths whole: a message holds up to three (a failure and its reason line).
constexpr int UI_TITLE_SIZE = 256;
#ifdef _WIN32
constexpr int UI_MESSAGE_SIZE = 1024;
constexpr int UI_QUESTION_SIZE = 512;
#else
constexpr int UI_MESSAGE_SIZE = 4 * 4096;
constexpr int UI_QUESTION_SIZE = 4096 + 256;
#endif

// ---- implemented by each back-end ----
// The pause after each file in normal mode: long enough to read its name in
// a status window; none on a terminal, where it only slows the run.
extern const uint32_t WINDOW_EXTRACTING_PAUSE_MS;
// Makes the back-end ready before the first window, and releases it at the
// end: Win32 registers and unregisters its window classes; a terminal takes
// the stop signals, so that a stopped run is cancelled and cleans up.
void window_backend_start();
void window_backend_stop();
// The modeless status dialog, shown; none when it cannot be made.
ui_window window_create_status(void* instance);
// The splash window, which sizes, shows and closes itself; none when it
// cannot be made.
ui_window window_create_splash(void* instance);
bool window_exists(ui_window window);
void window_destroy(ui_window window);
void window_set_item_text(ui_window window, int item, const char* text);
// How far the extraction is. The terminal shows counts and a percentage on
// its status line and, once every entry is handled, how many files went
// where; a status window has no place for it.
void window_show_progress(ui_window window, const extract_progress& progress);
void window_show_item(ui_window window, int item, bool show);
// An OK box; returns when the user dismissed it.
void window_message_box(ui_window owner, const char* title, const char* text);
// What the user asked the run for, such as the version: a message box on
// Win32, standard output (not standard error, where messages go) on a
// terminal, so that a script can read it.
void window_show_result(ui_window owner, const char* title, const char* text);
// Whether a question can reach a person at all (on a terminal back-end: is
// there a terminal); a question nobody can answer is answered No.
bool window_can_ask();
// A Yes/No box with Yes the default; true only for Yes.
bool window_ask_yes_no(ui_window owner, const char* title, const char* question);
// Answers to the overwrite question. All and None answer this question and
// every later one of the run: Yes to all, or No to all.
enum window_answer { ANSWER_NO, ANSWER_YES, ANSWER_ALL, ANSWER_NONE };
// The overwrite question: the Yes/No box; a terminal also takes All and None.
window_answer window_ask_overwrite(ui_window owner, const char* title, const char* question);
// Handles every waiting message and returns when none is left; never waits.
void window_pump();
// Idles until a message may be waiting (bounded, so a missed wake-up costs
// a short delay, not a hang).
void window_wait_message();
void window_sleep(uint32_t milliseconds);
// Ends the process at once with a normal exit (not an abort).
[[noreturn]] void window_exit_process(int status);
// Whether the system asked the process to stop (on POSIX: SIGTERM, SIGHUP,
// or Ctrl-C with nobody to ask); the run then ends as a confirmed cancel.
bool window_cancel_requested();

// ---- implemented by the dispatcher, called by the back-ends ----
// The UI title: the caption of new status windows and of every box.
const char* ui_title();
// The module the dialog templates, the icon and the bitmap come from.
void* ui_instance();
// A status window was created: the cancel flag starts again at 0.
void ui_status_created();
// A command reached the status window: 1 or 1007 close it, 2 asks whether to
// cancel and, on Yes, sets the cancel flag and closes it.
void ui_status_command(ui_window window, unsigned command);
