// Waiting out another process's hold: a held file or folder is tried again
// until it is free, anything else fails at once.
#include <gtest/gtest.h>

#include <string>

#include "foundation/backend.h"
#include "foundation/retry.h"
#include "test_util.h"

namespace {

// Counts the pauses; at the pause numbered release it runs the release.
struct pauses {
  int count = 0;
  int release = -1;
  void (*release_hold)(void* hold) = nullptr;
  void* hold = nullptr;
};

void count_pause(uint32_t, void* context) {
  auto* seen = static_cast<pauses*>(context);
  if (++seen->count == seen->release) seen->release_hold(seen->hold);
}

TEST(RetryTest, WhatWaitingCannotMendFailsAtOnce) {
  scratch_dir dir;
  const std::string full = dir.path("full");
  ASSERT_TRUE(os_dir_create(full.c_str()));
  write_file(dir.path("full/left.txt"), "left by the launched program");
  struct {
    const char* what;
    std::string path;
  } cases[] = {{"a folder that is not empty", full}, {"a folder that is gone", dir.path("gone")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pauses seen;
    EXPECT_FALSE(dir_remove_when_free(c.path.c_str(), RETRY_ENDED_PROCESS, count_pause, &seen));
    EXPECT_EQ(0, seen.count) << "only a hold is waited for";
  }
  EXPECT_TRUE(path_exists(dir.path("full/left.txt")));
}

#ifdef _WIN32
TEST(RetryTest, SharingLockAndAccessErrorsAreHolds) {
  struct {
    int error;
    bool held;
  } cases[] = {{32, true}, {33, true}, {5, true}, {145, false}, {2, false}, {3, false}, {183, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(c.held, os_error_is_held(c.error));
  }
}

void close_file(void* hold) { os_file_close(reinterpret_cast<os_file>(hold)); }

TEST(RetryTest, AHeldTargetIsReplacedOnceFreeAndRefusedAfterTheBudget) {
  scratch_dir dir;
  const std::string from = dir.path("new.exe"), to = dir.path("out.exe");
  write_file(from, "new");
  write_file(to, "old");
  os_file held = OS_NO_FILE;
  // An open handle without delete sharing, as a scanner's.
  ASSERT_TRUE(os_file_open(to.c_str(), OS_OPEN_READ, &held));
  pauses seen{0, 3, close_file, reinterpret_cast<void*>(held)};
  EXPECT_TRUE(file_replace_when_free(from.c_str(), to.c_str(), count_pause, &seen));
  EXPECT_EQ(3, seen.count) << "the move waits until the hold ends";
  EXPECT_EQ("new", read_file(to));

  write_file(from, "newer");
  ASSERT_TRUE(os_file_open(to.c_str(), OS_OPEN_READ, &held));
  pauses never;
  EXPECT_FALSE(file_replace_when_free(from.c_str(), to.c_str(), count_pause, &never));
  EXPECT_TRUE(os_error_is_held(os_last_error())) << "the failure keeps the hold's error";
  EXPECT_EQ(RETRY_BRIEF_HOLD.attempts - 1, never.count) << "the wait is bounded";
  os_file_close(held);
  EXPECT_EQ("new", read_file(to));
}
#endif

}  // namespace
