// The one retry loop for calls another process may hold up for a moment.
#include "foundation/retry.h"

#include "foundation/backend.h"

namespace {

template <typename Attempt>
bool retry_while_held(Attempt attempt, retry_budget budget, retry_pause pause, void* pause_context) {
  for (int tried = 1;; ++tried) {
    if (attempt()) return true;
    // The error is read before the pause, which may make calls of its own.
    if (tried >= budget.attempts || !os_error_is_held(os_last_error())) return false;
    if (pause != nullptr)
      pause(budget.pause_ms, pause_context);
    else
      os_sleep(budget.pause_ms);
  }
}

}  // namespace

bool file_replace_when_free(const char* from, const char* to, retry_pause pause, void* pause_context) {
  return retry_while_held([&] { return os_file_replace(from, to); }, RETRY_BRIEF_HOLD, pause, pause_context);
}

bool dir_remove_when_free(const char* path, retry_budget budget, retry_pause pause, void* pause_context) {
  return retry_while_held([&] { return os_dir_remove(path); }, budget, pause, pause_context);
}
