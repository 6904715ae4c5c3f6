// A run's failure message. On POSIX a second line names the file the run
// failed on and why ("d/f33: No space left on device"); the Windows box keeps
// its one line.
#include <cstdio>

#include "driver/driver.h"
#include "foundation/failure.h"
#include "ui/ui.h"

void notify_failure(const char* message) {
#ifndef _WIN32
  char reason[FAILURE_REASON_SIZE];
  if (failure_describe(reason, sizeof reason)) {
    char text[FAILURE_REASON_SIZE + 128];
    snprintf(text, sizeof text, "%s\n%s", message, reason);
    ui_notify(EVENT_MESSAGE, text);
    return;
  }
#endif
  ui_notify(EVENT_MESSAGE, message);
}
