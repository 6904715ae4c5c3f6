// The clean-up key: recording created paths while extracting, then deleting
// exactly those, newest first, with the key and the target directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cleanup/cleanup_key.h"
#include "driver/cleanup_run.h"
#include "driver/run_state.h"
#include "foundation/backend.h"
#include "foundation/foundation.h"
#include "test_util.h"
#include "ui/ui.h"

namespace {

class Cleanup : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("XDG_STATE_HOME", state_.path().c_str(), 1);
#endif
    const uint32_t pool = 100000;
    foundation_init(&pool);
    ui_set_interaction_mode(INTERACTION_SILENT);
    target_ = work_.path("QOR1.tmp");
    snprintf(g_target_path, sizeof g_target_path, "%s", target_.c_str());
    cleanup_key_name(key_name_, sizeof key_name_);
    os_key_delete(key_name_);
  }
  void TearDown() override {
    os_key_delete(key_name_);
    foundation_term();
  }
  std::string in_target(const std::string& name) const { return target_ + PATH_SEPARATOR + name; }
  std::string value(const char* name) {
    os_key key = nullptr;
    if (!os_key_open(key_name_, &key)) return "<no key>";
    char data[CLEANUP_VALUE_SIZE + 1] = {};
    bool read = os_key_get_value(key, name, data, CLEANUP_VALUE_SIZE);
    os_key_close(key);
    return read ? std::string(data) : "<no value>";
  }
  // Creates a file or directory in the target and reports it as the
  // extraction does.
  void created(const std::string& name, bool directory) {
    std::string path = in_target(name);
    if (directory) {
      ASSERT_TRUE(os_dir_create(path.c_str()));
    } else {
      write_file(path, "data of " + name);
    }
    record_extracted_path(directory ? EVENT_DIRECTORY_CREATED : EVENT_EXTRACTING, path.c_str());
  }

  scratch_dir state_;
  scratch_dir work_;
  std::string target_;
  char key_name_[64];
};

TEST_F(Cleanup, KeyNameIsTheProcessIdRightAlignedInEightColumns) {
  char expected[64];
  snprintf(expected, sizeof expected, "Software\\QOR\\QPK2EXE\\%8lx", static_cast<unsigned long>(os_process_id()));
  EXPECT_STREQ(expected, key_name_);
  EXPECT_EQ(std::string("Software\\QOR\\QPK2EXE\\").size() + 8, strlen(key_name_));
}

TEST_F(Cleanup, RecordsInEventOrderAndDeletesNewestFirst) {
  ASSERT_TRUE(os_dir_create(target_.c_str()));
  created("a", true);
  created(std::string("a") + PATH_SEPARATOR + "x.txt", false);
  created(std::string("a") + PATH_SEPARATOR + "y.txt", false);
  EXPECT_EQ(in_target("a"), value("0")) << "value 0 is the first created path";
  EXPECT_EQ(in_target(std::string("a") + PATH_SEPARATOR + "x.txt"), value("1"));
  EXPECT_EQ(in_target(std::string("a") + PATH_SEPARATOR + "y.txt"), value("2"));

  record_extracted_path(EVENT_FILE_CREATED, in_target("a").c_str());
  EXPECT_EQ("<no value>", value("3")) << "a file is recorded once, before its data is written";

  cleanup_extracted_paths();
  EXPECT_FALSE(path_exists(in_target("a"))) << "the directory goes after the files in it";
  EXPECT_FALSE(path_exists(target_)) << "the emptied target directory goes last";
  os_key key = nullptr;
  EXPECT_FALSE(os_key_open(key_name_, &key)) << "the clean-up key must be deleted";
}

TEST_F(Cleanup, LeavesWhatWasNotRecorded) {
  ASSERT_TRUE(os_dir_create(target_.c_str()));
  created("mine.txt", false);
  write_file(in_target("theirs.txt"), "made by the launched program");
  cleanup_extracted_paths();
  EXPECT_FALSE(path_exists(in_target("mine.txt")));
  EXPECT_TRUE(path_exists(in_target("theirs.txt"))) << "an unrecorded file is not this run's to delete";
  EXPECT_TRUE(path_exists(target_)) << "and it keeps the target directory";
}

TEST_F(Cleanup, ReadOnlyFilesAreDeletedToo) {
  ASSERT_TRUE(os_dir_create(target_.c_str()));
  created("locked.txt", false);
  ASSERT_TRUE(os_set_attributes(in_target("locked.txt").c_str(), OS_ATTR_READONLY));
  cleanup_extracted_paths();
  EXPECT_FALSE(path_exists(in_target("locked.txt"))) << "attributes are made normal before deleting";
}

TEST_F(Cleanup, RefusesPathsThatCannotBeStoredWhole) {
  ASSERT_TRUE(os_dir_create(target_.c_str()));
  std::string long_path = in_target(std::string(CLEANUP_VALUE_SIZE, 'n'));
  record_extracted_path(EVENT_EXTRACTING, long_path.c_str());
  EXPECT_NE(long_path, value("0")) << "a path as long as the value or longer is not recorded, not even cut";
  created("short.txt", false);
  EXPECT_EQ(in_target("short.txt"), value("0")) << "later paths still are";
}

TEST_F(Cleanup, NeverDeletesOutsideTheTargetDirectory) {
  ASSERT_TRUE(os_dir_create(target_.c_str()));
  std::string outside = work_.path("outside.txt");
  write_file(outside, "not extracted here");
  const std::string cases[] = {outside, target_, target_ + "x" + PATH_SEPARATOR + "f"};
  for (const std::string& path : cases) record_extracted_path(EVENT_EXTRACTING, path.c_str());
  created("inside.txt", false);
  cleanup_extracted_paths();
  EXPECT_TRUE(path_exists(outside)) << "a recorded path outside the target must survive the clean-up";
  EXPECT_FALSE(path_exists(target_)) << "the target itself goes only as the emptied directory";
}

TEST_F(Cleanup, ForwardsEveryEventAndItsAnswer) {
  ui_set_automatic_response(1);
  EXPECT_EQ(1, record_extracted_path(EVENT_OVERWRITE_QUERY, "x")) << "answers reach the engine unchanged";
  ui_set_automatic_response(0);
  EXPECT_EQ(0, record_extracted_path(EVENT_FILE_CREATED, "y"));
}

}  // namespace
