// The user interface's process-wide state: the interaction settings, the
// cancel flag, the status window record and the UI title. Shared by the
// dispatcher and the status window's portable command handling only.
#pragma once

#include "ui/ui.h"
#include "ui/window.h"

struct ui_state_record {
  int interaction_mode = INTERACTION_NORMAL;
  int response_mode = RESPONSE_ASK;
  int automatic_response = 0;
  // 1 once the user confirmed cancelling; 0 again with every new status window.
  int cancel_flag = 0;
  // Set from the first creation attempt (even a failed one) until the window
  // is closed by Continue, a confirmed cancel or ui_term.
  int status_exists = 0;
  // False when the command line said /nostatus: no status window is made.
  bool status_allowed = true;
  ui_window status_window = nullptr;
  // Existing files kept because nobody could be asked whether to overwrite.
  uint64_t files_kept_unasked = 0;
  char title[UI_TITLE_SIZE] = "";
  void* instance = nullptr;
};

extern ui_state_record ui_state;
