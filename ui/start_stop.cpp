// The user interface's start and stop: the window back-end made ready before
// the first event, and at shut-down the status window still open closed and
// the back-end released.
#include "ui/state.h"
#include "ui/ui.h"
#include "ui/window.h"

int ui_init() {
  window_backend_start();
  return 0;
}

void ui_term() {
  if (ui_state.status_exists) {
    // A window closed through its close box leaves a stale handle: skip it.
    if (ui_state.status_window != nullptr && window_exists(ui_state.status_window))
      window_destroy(ui_state.status_window);
    ui_state.status_exists = 0;
  }
  window_backend_stop();
}
