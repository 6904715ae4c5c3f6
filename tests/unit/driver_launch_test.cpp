// Launching the recorded command: "start" opens one file by its association,
// anything else becomes a process in the target directory; what names
// nothing, or does not fit, is not started.
#include <gtest/gtest.h>

#include <cstdlib>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <string>

#include "driver/launch.h"
#include "driver/run_state.h"
#include "foundation/foundation.h"
#include "test_util.h"
#include "ui/ui.h"

namespace {

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint32_t pool = 100000;
    foundation_init(&pool);
    ui_set_interaction_mode(INTERACTION_SILENT);
    snprintf(g_target_path, sizeof g_target_path, "%s", work_.path().c_str());
  }
  void TearDown() override {
    // A process launch made the scratch folder current; it is about to go.
    char temporary[PATH_SIZE];
    if (os_temp_folder(temporary, sizeof temporary)) os_dir_change(temporary);
    foundation_term();
  }
  scratch_dir work_;
};

TEST_F(Launch, CommandsThatNameNothingAreNotStarted) {
  const std::string too_long = "x" + std::string(COMMAND_LINE_SIZE, ' ') + "y";
  const char* table[] = {"start", "START   ", "   ", "", too_long.c_str()};
  for (const char* command : table) {
    SCOPED_TRACE(command);
    launch_record record;
    EXPECT_FALSE(launch_command(command, &record)) << "this command must count as a failed launch";
    EXPECT_EQ(nullptr, record.process.process);
    EXPECT_FALSE(record.created);
  }
}

#ifndef _WIN32
// Runs a command to its end as the extraction run does with /deleteafter.
void run_and_wait(const char* command) {
  launch_record record;
  ASSERT_TRUE(launch_command(command, &record)) << command;
  EXPECT_TRUE(record.created) << "a plain command is a process creation";
  wait_for_launched(&record, false);
  os_process_close(&record.process);
}

TEST_F(Launch, AProcessRunsInTheTargetDirectoryAndIsWaitedFor) {
  run_and_wait("pwd > where.txt; sleep 1; echo done >> where.txt");
  EXPECT_EQ(work_.path() + "\ndone\n", read_file(work_.path("where.txt")))
      << "the command runs in the target path and the wait lasts until it has ended";
}

TEST_F(Launch, StartOpensOnlyTheWordAfterItThroughTheAssociation) {
  scratch_dir bin;
  write_file(bin.path("xdg-open"), "#!/bin/sh\nprintf '%s|' \"$@\" > \"$OPENED\"\n");
  chmod(bin.path("xdg-open").c_str(), 0755);
  std::string old_path = getenv("PATH");
  setenv("PATH", (bin.path() + ":" + old_path).c_str(), 1);
  setenv("OPENED", work_.path("opened.txt").c_str(), 1);
  const char* table[] = {"start readme.txt dropped words", "StArT   readme.txt", "START readme.txt"};
  for (const char* command : table) {
    SCOPED_TRACE(command);
    launch_record record;
    ASSERT_TRUE(launch_command(command, &record));
    EXPECT_FALSE(record.created) << "an association launch is not a process creation";
    wait_for_launched(&record, false);
    EXPECT_EQ("readme.txt|", read_file(work_.path("opened.txt")));
  }
  setenv("PATH", old_path.c_str(), 1);
}

TEST_F(Launch, AMissingOpenerIsAFailedLaunch) {
  std::string old_path = getenv("PATH");
  scratch_dir empty;
  setenv("PATH", empty.path().c_str(), 1);
  launch_record record;
  EXPECT_FALSE(launch_command("start readme.txt", &record)) << "no program to open the file with";
  setenv("PATH", old_path.c_str(), 1);
}
#endif

}  // namespace
