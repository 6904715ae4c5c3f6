// The clean-up key store as the driver uses it: values counted, written,
// read back and deleted; on POSIX a private file store, on Win32 the
// registry with a fall-back root for users who may not write the machine's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cleanup/cleanup_key.h"
#include "foundation/backend.h"
#include "test_util.h"

#ifdef _WIN32
#include <windows.h>

#include "foundation/win32/key_roots.h"
#else
#include <sys/stat.h>
#endif

namespace {

constexpr char KEY[] = "Software\\QOR\\QPK2EXE\\test    key";

class KeyStore : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("XDG_STATE_HOME", state_.path().c_str(), 1);
#endif
    os_key_delete(KEY);
  }
  void TearDown() override { os_key_delete(KEY); }
  scratch_dir state_;
};

TEST_F(KeyStore, ValuesRoundTripAndTheKeyGoesWithThem) {
  os_key key = nullptr;
  EXPECT_FALSE(os_key_open(KEY, &key)) << "no key before it is created";
  ASSERT_TRUE(os_key_create(KEY, &key));
  char field[255] = "C:\\T\\a";
  ASSERT_TRUE(os_key_set_value(key, "0", field, sizeof field));
  ASSERT_TRUE(os_key_set_value(key, "1", field, sizeof field));
  uint32_t count = 0;
  ASSERT_TRUE(os_key_value_count(key, &count));
  EXPECT_EQ(2u, count);
  char back[256] = {};
  ASSERT_TRUE(os_key_get_value(key, "1", back, 255));
  EXPECT_STREQ(field, back);
  EXPECT_TRUE(os_key_delete_value(key, "1"));
  EXPECT_FALSE(os_key_get_value(key, "1", back, 255)) << "a deleted value is gone";
  ASSERT_TRUE(os_key_value_count(key, &count));
  EXPECT_EQ(1u, count);
  os_key_close(key);
  EXPECT_TRUE(os_key_delete(KEY)) << "a key is deleted with its values";
  EXPECT_FALSE(os_key_open(KEY, &key));
}

TEST_F(KeyStore, RefusesValuesLargerThanTheField) {
  os_key key = nullptr;
  ASSERT_TRUE(os_key_create(KEY, &key));
  char big[CLEANUP_VALUE_SIZE + 1] = {'x'};
  EXPECT_FALSE(os_key_set_value(key, "0", big, sizeof big)) << "value data is at most a clean-up value's size";
  os_key_close(key);
}

#ifndef _WIN32
TEST_F(KeyStore, PosixStoreIsPrivateAndNamesCannotLeaveIt) {
  os_key key = nullptr;
  ASSERT_TRUE(os_key_create(KEY, &key));
  std::string folder = state_.path("qpk2exe/Software/QOR/QPK2EXE/test    key");
  struct stat info;
  ASSERT_EQ(0, stat(folder.c_str(), &info)) << "one folder per key, spaces kept";
  EXPECT_EQ(0700u, info.st_mode & 0777u) << "only the user may read the recorded paths";
  char data[4] = "abc";
  const char* bad_names[] = {"..", ".", "", "a/b", ".hidden"};
  for (const char* name : bad_names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(os_key_set_value(key, name, data, sizeof data));
  }
  os_key_close(key);
  const char* bad_keys[] = {"Software\\..\\x", "Software\\\\x", "a/b", ""};
  for (const char* path : bad_keys) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(os_key_create(path, &key));
  }
}

TEST_F(KeyStore, PosixCountIgnoresAnUnfinishedWrite) {
  os_key key = nullptr;
  ASSERT_TRUE(os_key_create(KEY, &key));
  write_file(state_.path("qpk2exe/Software/QOR/QPK2EXE/test    key/.0.crashed"), "half");
  uint32_t count = 9;
  ASSERT_TRUE(os_key_value_count(key, &count));
  EXPECT_EQ(0u, count) << "a temporary file left by a crash is not a value";
  os_key_close(key);
  EXPECT_TRUE(os_key_delete(KEY)) << "and does not keep the key from being deleted";
}
#else
bool key_exists(HKEY root) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST_F(KeyStore, FallsBackToTheUserRootAndKeepsUsingIt) {
  // A stale key of the same name in the machine root must not be touched by
  // a run that recorded in the user's root.
  HKEY stale = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stale,
                                           nullptr));
  RegSetValueExA(stale, "0", 0, REG_SZ, reinterpret_cast<const BYTE*>("stale"), 6);
  RegCloseKey(stale);

  os_key_set_machine_root(reinterpret_cast<void*>(static_cast<intptr_t>(0x1234)));  // refuses every create
  os_key key = nullptr;
  ASSERT_TRUE(os_key_create(KEY, &key)) << "a refused machine root falls back to the user's";
  os_key_close(key);
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER));
  ASSERT_TRUE(os_key_open(KEY, &key));
  uint32_t count = 9;
  ASSERT_TRUE(os_key_value_count(key, &count));
  EXPECT_EQ(0u, count) << "the open goes to the root the create used, not the stale machine key";
  os_key_close(key);
  EXPECT_TRUE(os_key_delete(KEY));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
  EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE)) << "the machine root's key is not this run's";

  os_key_set_machine_root(nullptr);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, KEY);
}
#endif

}  // namespace
