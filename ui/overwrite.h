// The overwrite question's portable half, inside the user interface: asked
// through the back-end (a terminal also takes All and None), answered No
// when nobody can be asked (ui_overwrite_unasked in ui.h), and the
// extraction's last word on the files so kept.
#pragma once

#include "foundation/progress.h"
#include "ui/window.h"

// The overwrite question about path, owned by the window given; true for
// Yes. All and None answer as /y and /n would for the rest of the run.
bool ui_ask_overwrite(ui_window owner, const char* path);
// When existing files were kept because nobody could be asked: how many, and
// how to replace them. A status line that was shown has already said how many
// files went where (summary_shown); otherwise the text says it, naming the
// destination.
void ui_report_kept_files(const extract_progress& progress, bool summary_shown, const char* destination);
