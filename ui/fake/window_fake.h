// A recording window back-end for tests: it keeps every call as a line of
// text, answers questions from a script, can act as the user during a pump
// and throws fake_exit where a real back-end would end the process.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

struct fake_exit {
  int status;
};

struct fake_window_state {
  // "status.create", "splash.create", "item 1001 Extracting...", "show 1007 1",
  // "box <owner> <title>|<text>", "result <owner> <title>|<text>", "ask <owner> <title>|<question>", "pump",
  // "wait", "sleep 100", "destroy <window>", "backend.start", ...
  // An owner or window is written "-" for none, else "status1", "status2", ...
  std::vector<std::string> calls;
  std::deque<bool> answers;  // Yes/No answers, in order; No when empty
  bool status_creation_fails = false;
  bool cancel_requested = false;  // window_cancel_requested's answer
  // Called at each pump, like the user acting while the queue drains.
  std::function<void()> on_pump;
  int splash_pumps = 2;  // pumps the splash survives
  // Captions the status windows were created with, in order.
  std::vector<std::string> captions;
};

extern fake_window_state fake;

void fake_reset();
// The latest status window made by the fake, and whether it is alive.
ui_window fake_status_window();
// The user closes the status window through its close box: the window goes
// without the dispatcher hearing of it.
void fake_close_box(ui_window window);
// Call lines that start with the prefix.
std::vector<std::string> fake_calls_starting(const std::string& prefix);
