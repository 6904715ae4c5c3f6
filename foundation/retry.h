// Waiting out another process's brief hold on a file or folder. Antivirus
// scanners and indexers open a newly written file for a moment, and a process
// that has just ended may still hold its current directory; meanwhile the
// system refuses a rename or a removal (os_error_is_held). Every such call
// waits within one of the budgets below, then fails as it would at once.
#pragma once

#include <cstdint>

struct retry_budget {
  int attempts;
  uint32_t pause_ms;
};
// About 2 s: long enough for a scanner's look at a new file.
constexpr retry_budget RETRY_BRIEF_HOLD = {40, 50};
// About 5 s: under Wine on a busy machine a process that had ended was seen
// holding its folder for more than a second.
constexpr retry_budget RETRY_ENDED_PROCESS = {50, 100};

// Runs between tries in place of a plain os_sleep (a window's run pumps its
// messages there); it is given the pause's length.
using retry_pause = void (*)(uint32_t milliseconds, void* context);

// os_file_replace, tried again while the file is held. False with the last
// try's system error.
bool file_replace_when_free(const char* from, const char* to, retry_pause pause = nullptr,
                            void* pause_context = nullptr);
// os_dir_remove, tried again while the folder is held, never when it is
// simply not empty or gone. False with the last try's system error.
bool dir_remove_when_free(const char* path, retry_budget budget, retry_pause pause = nullptr,
                          void* pause_context = nullptr);
