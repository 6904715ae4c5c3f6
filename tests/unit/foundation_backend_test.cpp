// The platform back-end where its results are the caller's to see: DOS dates,
// file times, attributes, names, temporary files and free space.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/backend.h"
#include "foundation/file.h"
#include "foundation/path.h"
#include "foundation/reparse_rule.h"
#include "foundation/volume_root.h"
#include "foundation_test_support.h"
#include "test_util.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr os_file_time TICKS_PER_SECOND = 10000000;
// 1980-01-01 00:00:00 UTC in ticks since 1601.
constexpr os_file_time DOS_EPOCH = 119600064000000000ull;
constexpr os_file_time DAY = 86400 * TICKS_PER_SECOND;

constexpr uint16_t dos_date(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t dos_time(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(BackendTest, DosDatesAreTakenAsUtcAndImpossibleFieldsAreRefused) {
  struct {
    uint16_t date;
    uint16_t time;
    bool valid;
    os_file_time expected;
  } cases[] = {
      {dos_date(1980, 1, 1), 0, true, DOS_EPOCH},
      {dos_date(1980, 1, 2), dos_time(23, 59, 58), true, DOS_EPOCH + DAY + (86400 - 2) * TICKS_PER_SECOND},
      {dos_date(1980, 3, 1), 0, true, DOS_EPOCH + 60 * DAY},  // 1980 is a leap year
      {dos_date(1980, 2, 29), dos_time(0, 0, 58), true, DOS_EPOCH + 59 * DAY + 58 * TICKS_PER_SECOND},
      {dos_date(2000, 3, 1), dos_time(12, 30, 0), true, 125963874000000000ull},
      {dos_date(2107, 12, 31), dos_time(23, 59, 58), true, 159992927980000000ull},
#ifndef _WIN32
      // Refused here; the conversion of the Win32 emulation used in testing
      // lets every 29 February through.
      {dos_date(1981, 2, 29), 0, false, 0},
#endif
      {dos_date(1980, 0, 1), 0, false, 0},
      {dos_date(1980, 13, 1), 0, false, 0},
      {dos_date(1980, 1, 0), 0, false, 0},
      {dos_date(1980, 4, 31), 0, false, 0},
      {dos_date(1980, 1, 1), dos_time(24, 0, 0), false, 0},
      {dos_date(1980, 1, 1), dos_time(0, 60, 0), false, 0},
      {dos_date(1980, 1, 1), dos_time(0, 0, 60), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "date 0x" << c.date << " time 0x" << c.time);
    os_file_time ticks = 0;
    EXPECT_EQ(c.valid, os_dos_to_file_time(c.date, c.time, &ticks));
    if (c.valid) {
      EXPECT_EQ(c.expected, ticks);
    }
  }
}

TEST(BackendTest, FileTimesAndEndOfFileAreSetThroughTheHandle) {
  scratch_dir dir;
  std::string name = dir.path("stamped.txt");
  write_file(name, "0123456789");
  file_handle handle = NO_FILE;
  ASSERT_EQ(0, file_open(name.c_str(), &handle, FILE_MODE_READ_WRITE));
  os_file_time stamp = 0;
  ASSERT_TRUE(os_dos_to_file_time(dos_date(2001, 9, 9), dos_time(1, 46, 40), &stamp));
  ASSERT_EQ(0, file_seek(handle, 4, FILE_SEEK_SET));
  EXPECT_TRUE(os_file_set_end(handle));
  EXPECT_TRUE(os_file_set_times(handle, nullptr, nullptr, &stamp));
  file_close(handle);
  EXPECT_EQ("0123", read_file(name)) << "the file ends at the position";

  // 2001-09-09 01:46:40 UTC is 1000000000 seconds after 1970.
  auto written = fs::last_write_time(name);
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(written).time_since_epoch());
  EXPECT_EQ(1000000000, seconds.count());
  EXPECT_GT(os_time_now(), stamp) << "now is later than 2001";
}

TEST(BackendTest, SystemCopyIsWholeOrLeavesEverythingToTheCaller) {
  scratch_dir dir;
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  write_file(dir.path("source"), bytes);
  for (uint32_t count : {200000u, 299990u, 299991u}) {
    SCOPED_TRACE(count);
    std::filesystem::remove(dir.path("target"));
    file_handle from = NO_FILE, to = NO_FILE;
    ASSERT_EQ(0, file_open(dir.path("source").c_str(), &from, FILE_MODE_READ));
    ASSERT_EQ(0, file_open(dir.path("target").c_str(), &to, FILE_MODE_CREATE));
    ASSERT_EQ(0, file_seek(from, 10, FILE_SEEK_SET));
    ASSERT_EQ(0, file_write(to, "AB", 2, nullptr));
    uint32_t done = 99;
    bool copied = os_file_copy(from, to, count, &done);
    int from_at = 0, to_at = 0;
    file_tell(from, &from_at);
    file_tell(to, &to_at);
    file_close(from);
    file_close(to);
    if (copied) {
      EXPECT_EQ(count, done);
      EXPECT_EQ(static_cast<int>(10 + count), from_at);
      EXPECT_EQ(static_cast<int>(2 + count), to_at);
      EXPECT_TRUE("AB" + bytes.substr(10, count) == read_file(dir.path("target")));
    } else {
      EXPECT_EQ(0u, done) << "a copy the system cannot make whole must not begin";
      EXPECT_EQ(10, from_at);
      EXPECT_EQ("AB", read_file(dir.path("target")));
    }
#ifndef _WIN32
    EXPECT_EQ(count <= 299990u, copied) << "Linux copies whenever the source holds the bytes";
#else
    EXPECT_FALSE(copied);
#endif
  }
}

TEST(BackendTest, AttributesReadOnlyAndDirectory) {
  scratch_dir dir;
  std::string file = dir.path("attr.txt");
  write_file(file, "x");
  EXPECT_EQ(OS_ATTR_INVALID, os_get_attributes(dir.path("absent").c_str()));
  EXPECT_NE(0u, os_get_attributes(dir.path().c_str()) & OS_ATTR_DIRECTORY);
  EXPECT_EQ(0u, os_get_attributes(file.c_str()) & (OS_ATTR_DIRECTORY | OS_ATTR_READONLY));

  ASSERT_TRUE(os_set_attributes(file.c_str(), OS_ATTR_READONLY));
  EXPECT_NE(0u, os_get_attributes(file.c_str()) & OS_ATTR_READONLY);
  // (Whether writing is then refused depends on the user's privileges too;
  // the POSIX mode bits are checked on their own below.)
  ASSERT_TRUE(os_set_attributes(file.c_str(), OS_ATTR_NORMAL));
  EXPECT_EQ(0u, os_get_attributes(file.c_str()) & OS_ATTR_READONLY);
  file_handle handle = NO_FILE;
  ASSERT_EQ(0, file_open(file.c_str(), &handle, FILE_MODE_WRITE));
  file_close(handle);
}

TEST(BackendTest, OnlyNameSurrogateReparsePointsAreLinks) {
  constexpr uint32_t DIRECTORY = 0x10, REPARSE_DIRECTORY = 0x410, REPARSE_FILE = 0x420;
  struct {
    const char* what;
    uint32_t attributes;
    bool tag_known;
    uint32_t tag;
    bool link;
  } cases[] = {
      {"a plain folder", DIRECTORY, true, 0, false},
      {"nothing at the path", 0xFFFFFFFF, false, 0, false},
      {"a symbolic link", REPARSE_DIRECTORY, true, 0xA000000C, true},
      {"a junction or mount point", REPARSE_DIRECTORY, true, 0xA0000003, true},
      {"a cloud-synced folder", REPARSE_DIRECTORY, true, 0x9000601A, false},
      {"a deduplicated file", REPARSE_FILE, true, 0x80000013, false},
      {"an offline file", REPARSE_FILE, true, 0xC0000004, false},
      {"a reparse point whose tag cannot be read", REPARSE_DIRECTORY, false, 0, true},
      {"a reparse point reported without its tag (Wine)", REPARSE_DIRECTORY, true, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.link, reparse_is_link(c.attributes, c.tag_known ? &c.tag : nullptr));
  }
}

TEST(BackendTest, FreeSpaceIsAskedOfTheVolumeRoot) {
  struct {
    const char* path;
    const char* root;  // null: no root can be formed
  } cases[] = {
      {"C:\\Users\\me\\Downloads\\", "C:\\"},
      {"d:", "d:\\"},
      {"\\\\server\\share\\setup\\", "\\\\server\\share\\"},
      {"\\\\server\\share", "\\\\server\\share\\"},
      {"//server/share/setup", "\\\\server\\share\\"},
      {"\\\\?\\C:\\long\\path", "C:\\"},
      {"\\\\?\\UNC\\server\\share\\x", "\\\\server\\share\\"},
      {"\\\\server", nullptr},
      {"\\\\server\\", nullptr},
      {"\\\\.\\PhysicalDrive0", nullptr},
      {"\\\\?\\UNC\\server", nullptr},
      {"relative\\setup", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    char root[64] = {};
    ASSERT_EQ(c.root != nullptr, volume_root(c.path, root, sizeof root));
    if (c.root != nullptr) {
      EXPECT_STREQ(c.root, root);
    }
  }
  char small[15];
  EXPECT_FALSE(volume_root("\\\\server\\share\\x", small, sizeof small)) << "15 bytes hold no 15-character root";
  EXPECT_TRUE(volume_root("\\\\server\\shar\\x", small, sizeof small));
}

TEST(BackendTest, DirectoriesAndFilesAreCreatedAndRemoved) {
  scratch_dir dir;
  std::string sub = dir.path("sub");
  EXPECT_TRUE(os_dir_create(sub.c_str()));
  EXPECT_FALSE(os_dir_create(sub.c_str())) << "an existing directory is not created again";
  std::string inside = dir.path("sub/f.txt");
  file_handle created = NO_FILE;
  ASSERT_TRUE(os_file_open(inside.c_str(), OS_OPEN_ALWAYS, &created));
  os_file_close(created);
  EXPECT_FALSE(os_file_open(sub.c_str(), OS_OPEN_ALWAYS, &created)) << "a directory is no file";
  EXPECT_FALSE(os_dir_remove(sub.c_str())) << "a directory with contents stays";
  EXPECT_TRUE(os_file_delete(inside.c_str()));
  EXPECT_FALSE(os_file_delete(inside.c_str()));
  EXPECT_TRUE(os_dir_remove(sub.c_str()));
  EXPECT_FALSE(path_exists(sub));
}

TEST(BackendTest, TemporaryNamesAreNewFilesInTheFolder) {
  char folder[PATH_SIZE];
  ASSERT_TRUE(os_temp_folder(folder, sizeof folder));
  ASSERT_GT(strlen(folder), 0u);
  EXPECT_TRUE(is_separator(folder[strlen(folder) - 1])) << folder;

  scratch_dir dir;
  std::string base = dir.path() + PATH_SEPARATOR;
  char first[PATH_SIZE];
  char second[PATH_SIZE];
  ASSERT_TRUE(os_temp_file_name(base.c_str(), "QOR", first, sizeof first));
  ASSERT_TRUE(os_temp_file_name(base.c_str(), "QOR", second, sizeof second));
  EXPECT_STRNE(first, second);
  for (const char* name : {first, second}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(0, strncmp(name, (base + "QOR").c_str(), base.size() + 3)) << "folder and prefix come first";
    EXPECT_TRUE(path_exists(name)) << "the name is taken by creating the file";
    EXPECT_EQ("", read_file(name));
  }
  char tiny[8];
  EXPECT_FALSE(os_temp_file_name(base.c_str(), "QOR", tiny, sizeof tiny)) << "a name that does not fit is refused";
}

TEST(BackendTest, OwnPathFullPathsAndFreeSpace) {
  char own[1024];
  ASSERT_TRUE(os_module_path(own, sizeof own));
  EXPECT_TRUE(path_exists(own));
  char tiny[4];
  EXPECT_FALSE(os_module_path(tiny, sizeof tiny));

  scratch_dir dir;
  current_dir_guard guard;
  fs::current_path(dir.path());
  char full[PATH_SIZE];
  ASSERT_TRUE(os_full_path("a.txt", full, sizeof full));
  EXPECT_EQ(fs::path(dir.path()) / "a.txt", fs::path(full));
  EXPECT_FALSE(os_full_path("a.txt", tiny, sizeof tiny));

  double free_bytes = -1;
  ASSERT_TRUE(os_disk_free_space(dir.path().c_str(), &free_bytes));
  EXPECT_GT(free_bytes, 0.0);
}

#ifndef _WIN32
TEST(BackendTest, FullPathsAreNormalisedWithoutTouchingTheDisk) {
  current_dir_guard guard;
  fs::current_path("/tmp");
  struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"/a/./b//c", "/a/b/c"},          {"/a/b/../c", "/a/c"},  {"/../..", "/"},
      {"/a/b/", "/a/b/"},               {"x/../y", "/tmp/y"},   {"missing/dir/f.txt", "/tmp/missing/dir/f.txt"},
      {".", "/tmp"},                    {"/", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char full[PATH_SIZE];
    ASSERT_TRUE(os_full_path(c.name, full, sizeof full));
    EXPECT_STREQ(c.expected, full);
  }
  char exact[7];
  EXPECT_TRUE(os_full_path("/a/b/c", exact, sizeof exact));
  EXPECT_FALSE(os_full_path("/a/b/cd", exact, sizeof exact)) << "7 characters do not fit 7 bytes";
}

TEST(BackendTest, PosixPermissionsFollowTheAttributes) {
  scratch_dir dir;
  std::string script = dir.path("run.sh");
  write_file(script, "#!/bin/sh\n");
  ASSERT_EQ(0, chmod(script.c_str(), 0664));
  ASSERT_TRUE(os_set_attributes(script.c_str(), OS_ATTR_READONLY | OS_ATTR_EXECUTE));
  struct stat info;
  ASSERT_EQ(0, stat(script.c_str(), &info));
  EXPECT_EQ(0u, info.st_mode & 0222) << "read-only clears every write bit";
  EXPECT_NE(0u, info.st_mode & S_IXUSR);
  EXPECT_NE(0u, os_get_attributes(script.c_str()) & OS_ATTR_EXECUTE);
  ASSERT_TRUE(os_set_attributes(script.c_str(), OS_ATTR_NORMAL));
  ASSERT_EQ(0, stat(script.c_str(), &info));
  EXPECT_EQ(static_cast<mode_t>(S_IWUSR), info.st_mode & 0222) << "clearing read-only gives the owner write back";
  ASSERT_EQ(0, chmod(script.c_str(), 06775));
  ASSERT_TRUE(os_set_attributes(script.c_str(), OS_ATTR_PRIVATE | OS_ATTR_EXECUTE));
  ASSERT_EQ(0, stat(script.c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777) << "private: no group or other rights, and never setuid or setgid";

  // A link is handled as a link: never followed to its target.
  std::string target = dir.path("target");
  std::string link = dir.path("link");
  fs::create_directory(target);
  fs::create_directory_symlink(target, link);
  EXPECT_EQ(0u, os_get_attributes(link.c_str()) & OS_ATTR_DIRECTORY);
  EXPECT_NE(0u, os_get_attributes(link.c_str()) & OS_ATTR_LINK) << "a symbolic link is a link";
  EXPECT_EQ(0u, os_get_attributes(target.c_str()) & OS_ATTR_LINK) << "its target is not";
  EXPECT_TRUE(os_is_real_directory(os_get_attributes(target.c_str())));
  EXPECT_FALSE(os_is_real_directory(os_get_attributes(link.c_str()))) << "a link to a folder is no real folder";
  EXPECT_FALSE(os_is_real_directory(os_get_attributes(dir.path("missing").c_str())));
  EXPECT_FALSE(os_set_attributes(link.c_str(), OS_ATTR_READONLY));
  EXPECT_TRUE(os_dir_remove(link.c_str()));
  EXPECT_FALSE(path_exists(link));
  EXPECT_TRUE(fs::is_directory(target)) << "removing the link must leave its target";
}
#endif

}  // namespace
