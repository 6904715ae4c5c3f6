// The extraction's progress as the engine reports it: once after its check of
// the whole archive and again after each matching entry, through the progress
// hook that stands beside the notification callback (foundation/events.h).
#pragma once

#include <cstdint>

struct extract_progress {
  uint64_t files_done = 0;  // matching entries handled, written or skipped
  uint64_t files_total = 0;
  uint64_t files_written = 0;
  uint64_t bytes_done = 0;  // content bytes of the entries handled
  uint64_t bytes_total = 0;
};

// A progress hook: the record in, an answer out. A negative answer
// (ERROR_CANCELLED) stops the extraction; any other lets it go on.
using progress_callback = int (*)(const extract_progress& progress);
