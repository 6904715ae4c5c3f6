// A run's failure message. On POSIX a second line names the file the run
// failed on and why ("d/f33: No space left on device"); the Windows box keeps
// its one line, but for a path too long to use, which it names too.
#include "driver/failure_message.h"

#include <cstdio>

#include "foundation/failure.h"
#include "ui/ui.h"

void notify_failure(const char* message) {
#ifdef _WIN32
  const bool explain = failure_is_too_long();
#else
  const bool explain = true;
#endif
  char reason[FAILURE_REASON_SIZE];
  if (explain && failure_describe(reason, sizeof reason)) {
    char text[FAILURE_REASON_SIZE + 128];
    snprintf(text, sizeof text, "%s\n%s", message, reason);
    ui_notify(EVENT_MESSAGE, text);
    return;
  }
  ui_notify(EVENT_MESSAGE, message);
}
