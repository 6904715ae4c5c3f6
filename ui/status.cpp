// The portable half of the status window: the Continue button, and what the
// window does with its commands. The back-ends call ui_status_created and
// ui_status_command from their windows.
#include "ui/state.h"
#include "ui/ui.h"
#include "ui/window.h"

void* ui_status_window() { return ui_state.status_window; }

bool ui_window_exists(void* window) { return window != nullptr && window_exists(window); }

void ui_show_continue(int show) {
  ui_window window = ui_state.status_window;
  if (!ui_window_exists(window)) return;
  window_show_item(window, ITEM_CONTINUE_HINT, show != 0);
  window_show_item(window, ITEM_CONTINUE, show != 0);
}

void ui_status_created() { ui_state.cancel_flag = 0; }

static void close_status_window(ui_window window) {
  window_destroy(window);
  if (ui_state.status_window == window) {
    ui_state.status_exists = 0;
    ui_state.status_window = nullptr;
  }
}

void ui_status_command(ui_window window, unsigned command) {
  if (command == COMMAND_OK || command == COMMAND_CONTINUE) {
    close_status_window(window);
  } else if (command == COMMAND_CANCEL) {
    if (!window_ask_yes_no(window, ui_state.title, "Are you sure you want to cancel?")) return;
    ui_state.cancel_flag = 1;
    close_status_window(window);
  }
}
