// qpk cleanup: clean-up keys left by self-extractors that ended before their
// own clean-up. Keys are written for a process number no process can have
// (dead) and for this test's own process (alive), in a private key store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cleanup/cleanup_key.h"
#include "foundation/backend.h"
#include "test_util.h"
#include "tools/qpk/commands.h"

#ifdef _WIN32
#include <windows.h>

#include "foundation/win32/key_roots.h"
#endif

namespace {

// Beyond any process number POSIX hands out; no Win32 process has it either.
constexpr uint32_t DEAD_PROCESS = 0x3FFFFFF0;
constexpr uint32_t OTHER_DEAD_PROCESS = 0x3FFFFFF4;

std::string key_name(uint32_t process) {
  char name[CLEANUP_KEY_NAME_SIZE];
  cleanup_key_name_of(process, name, sizeof name);
  return name;
}

bool key_exists(const std::string& name) {
  os_key key = nullptr;
  if (!os_key_open(name.c_str(), &key)) return false;
  os_key_close(key);
  return true;
}

// Records the paths as values 0, 1, ... the way the extraction run does.
void write_key(const std::string& name, const std::vector<std::string>& paths) {
  os_key key = nullptr;
  ASSERT_TRUE(os_key_create(name.c_str(), &key));
  for (size_t index = 0; index < paths.size(); ++index) {
    char field[255] = {};
    paths[index].copy(field, sizeof field - 1);
    ASSERT_TRUE(os_key_set_value(key, std::to_string(index).c_str(), field, sizeof field));
  }
  os_key_close(key);
}

class QpkCleanup : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // A private stand-in for HKEY_LOCAL_MACHINE, so only this test's keys are seen.
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, STAND_IN, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &stand_in_, nullptr));
    os_key_set_machine_root(stand_in_);
#else
    setenv("XDG_STATE_HOME", dir_.path("state").c_str(), 1);
#endif
  }
  void TearDown() override {
    for (const std::string& name : made_) os_key_delete(name.c_str());
#ifdef _WIN32
    for (const char* sub : {"Software\\QOR\\QPK2EXE", "Software\\QOR", "Software"}) RegDeleteKeyA(stand_in_, sub);
    os_key_set_machine_root(nullptr);
    RegCloseKey(stand_in_);
    RegDeleteKeyA(HKEY_CURRENT_USER, STAND_IN);
#endif
  }

  // A temporary extraction folder as a self-extractor makes it: QOR..., with
  // a file, a folder and a read-only file in it, recorded in creation order.
  std::vector<std::string> extracted(const std::string& folder) {
    std::string root = dir_.path(folder);
    EXPECT_TRUE(os_dir_create(root.c_str()));
    std::vector<std::string> paths = {root + SEPARATOR + "b.txt", root + SEPARATOR + "d",
                                      root + SEPARATOR + "d" + SEPARATOR + "a.txt"};
    write_file(paths[0], "b");
    EXPECT_TRUE(os_dir_create(paths[1].c_str()));
    write_file(paths[2], "a");
    EXPECT_TRUE(os_set_attributes(paths[2].c_str(), OS_ATTR_READONLY));
    return paths;
  }
  std::string make_key(uint32_t process, const std::vector<std::string>& paths) {
    std::string name = key_name(process);
    made_.push_back(name);
    write_key(name, paths);
    return name;
  }
  int cleanup(bool apply) {
    out_.str("");
    err_.str("");
    return qpk_cleanup(apply, out_, err_);
  }

#ifdef _WIN32
  static constexpr char STAND_IN[] = "Software\\QPK2EXE cleanup test";
  static constexpr char SEPARATOR = '\\';
  HKEY stand_in_ = nullptr;
#else
  static constexpr char SEPARATOR = '/';
#endif
  scratch_dir dir_;
  std::vector<std::string> made_;
  std::ostringstream out_, err_;
};

TEST_F(QpkCleanup, ListsOnlyKeysOfEndedProcessesAndTouchesNothing) {
  std::vector<std::string> dead_paths = extracted("QOR1a2b.tmp");
  std::string dead = make_key(DEAD_PROCESS, dead_paths);
  std::vector<std::string> live_paths = extracted("QOR3c4d.tmp");
  std::string live = make_key(os_process_id(), live_paths);

  EXPECT_EQ(0, cleanup(false)) << err_.str();
  std::string listing = out_.str();
  EXPECT_NE(std::string::npos, listing.find(dead)) << "the ended process's key is listed:\n" << listing;
  for (const std::string& path : dead_paths) {
    EXPECT_NE(std::string::npos, listing.find(path)) << "with each recorded path:\n" << listing;
  }
  EXPECT_EQ(std::string::npos, listing.find(live)) << "a running process's key is not listed:\n" << listing;
  for (const std::string& path : dead_paths) EXPECT_TRUE(path_exists(path)) << "listing deletes nothing: " << path;
  EXPECT_TRUE(key_exists(dead) && key_exists(live)) << "listing keeps every key";
}

TEST_F(QpkCleanup, ApplyDeletesEndedProcessesPathsAndKeysOnly) {
  std::vector<std::string> dead_paths = extracted("QOR1a2b.tmp");
  std::string dead = make_key(DEAD_PROCESS, dead_paths);
  std::string empty = make_key(OTHER_DEAD_PROCESS, {});
  std::vector<std::string> live_paths = extracted("QOR3c4d.tmp");
  std::string live = make_key(os_process_id(), live_paths);

  EXPECT_EQ(0, cleanup(true)) << err_.str();
  for (const std::string& path : dead_paths) EXPECT_FALSE(path_exists(path)) << "should be deleted: " << path;
  EXPECT_FALSE(path_exists(dir_.path("QOR1a2b.tmp"))) << "the emptied extraction folder goes too";
  EXPECT_FALSE(key_exists(dead)) << "the ended process's key goes after its paths";
  EXPECT_FALSE(key_exists(empty)) << "a key with no paths left goes too";
  for (const std::string& path : live_paths) EXPECT_TRUE(path_exists(path)) << "a running process's path stays";
  EXPECT_TRUE(key_exists(live)) << "a running process's key is never touched";

  EXPECT_EQ(0, cleanup(true));
  EXPECT_NE(std::string::npos, out_.str().find("No leftover clean-up keys")) << out_.str();
}

// Paths the walk may not delete stay, with the key or a message, and exit 1.
TEST_F(QpkCleanup, ApplyLeavesWhatLiesOutsideTheExtractionFolder) {
  write_file(dir_.path("outside.txt"), "keep");
  ASSERT_TRUE(os_dir_create(dir_.path("plain").c_str()));
  write_file(dir_.path("plain") + SEPARATOR + "x.txt", "keep");
  std::vector<std::string> inside = extracted("QOR5e6f.tmp");
  struct refusal {
    const char* name;
    std::vector<std::string> paths;
    bool key_kept;
  };
  const refusal cases[] = {
      {"first path not in a temporary folder", {dir_.path("plain") + SEPARATOR + "x.txt"}, true},
      {"a later path outside the folder", {inside[0], dir_.path("outside.txt")}, false},
  };
  for (const refusal& c : cases) {
    SCOPED_TRACE(c.name);
    std::string name = make_key(DEAD_PROCESS, c.paths);
    EXPECT_EQ(1, cleanup(true)) << "something was left behind: exit status 1";
    EXPECT_FALSE(err_.str().empty()) << "and a message says what";
    EXPECT_TRUE(path_exists(dir_.path("plain") + SEPARATOR + "x.txt"));
    EXPECT_TRUE(path_exists(dir_.path("outside.txt"))) << "nothing outside the extraction folder is deleted";
    EXPECT_EQ(c.key_kept, key_exists(name));
    os_key_delete(name.c_str());
  }
  EXPECT_FALSE(path_exists(inside[0])) << "the path inside the folder was deleted";
}

TEST_F(QpkCleanup, CommandLine) {
  std::ostringstream out, err;
  const char* wrong[] = {"qpk", "cleanup", "--force"};
  EXPECT_EQ(2, qpk_run(3, wrong, out, err)) << "cleanup takes only --apply";
  const char* listing[] = {"qpk", "cleanup"};
  EXPECT_EQ(0, qpk_run(2, listing, out, err));
  EXPECT_NE(std::string::npos, out.str().find("No leftover clean-up keys")) << out.str();
}

}  // namespace
