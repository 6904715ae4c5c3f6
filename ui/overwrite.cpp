// The overwrite question: asked, answered No when nobody can be asked, and
// the kept files told at the end of the extraction (ui/overwrite.h).
#include "ui/overwrite.h"

#include <cstdio>

#include "ui/format_cut.h"
#include "ui/state.h"
#include "ui/ui.h"

bool ui_overwrite_unasked(const char* path, char* out, size_t size) {
  if (window_can_ask()) return false;
  format_cut(out, size, "%s exists; not overwritten: no terminal to ask", path);
  return true;
}

bool ui_ask_overwrite(ui_window owner, const char* path) {
  char question[UI_QUESTION_SIZE];
  format_cut(question, sizeof question, "%s already exists.  Overwrite?", path);
  const window_answer answer = window_ask_overwrite(owner, ui_state.title, question);
  if (answer == ANSWER_ALL || answer == ANSWER_NONE) {
    ui_state.response_mode = RESPONSE_AUTOMATIC;
    ui_state.automatic_response = answer == ANSWER_ALL ? 1 : 0;
  }
  return answer == ANSWER_YES || answer == ANSWER_ALL;
}

void ui_report_kept_files(const extract_progress& progress, bool summary_shown, const char* destination) {
  const auto kept = static_cast<unsigned long long>(ui_state.files_kept_unasked);
  char head[UI_MESSAGE_SIZE] = "";
  if (!summary_shown)
    format_cut(head, sizeof head, "%llu of %llu files extracted to %s; ",
             static_cast<unsigned long long>(progress.files_written),
             static_cast<unsigned long long>(progress.files_total), destination);
  char text[UI_MESSAGE_SIZE];
  format_cut(text, sizeof text,
           "%s%llu existing file%s kept (no terminal to ask); run again with --overwrite to replace %s", head, kept,
           kept == 1 ? "" : "s", kept == 1 ? "it" : "them");
  ui_message(text);
}
