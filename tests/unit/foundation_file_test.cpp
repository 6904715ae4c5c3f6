// The file access layer: open modes, reads, writes, positions, sizes,
// existence and the current directory, on real files in a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#endif

#include "foundation/file.h"
#include "foundation_test_support.h"
#include "test_util.h"

namespace {

std::string digits(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += static_cast<char>('0' + i % 10);
  return text;
}

class FileTest : public ::testing::Test {
 protected:
  scratch_dir dir;
  file_handle handle = NO_FILE;
  void TearDown() override {
    if (handle != NO_FILE) file_close(handle);
  }
  void open_existing(const std::string& name, const std::string& bytes, uint32_t mode = FILE_MODE_READ) {
    write_file(dir.path(name), bytes);
    ASSERT_EQ(0, file_open(dir.path(name).c_str(), &handle, mode));
  }
  int position() {
    int where = -99;
    EXPECT_EQ(0, file_tell(handle, &where));
    return where;
  }
};

TEST_F(FileTest, CreateModeMakesAMissingFileAndNeverTruncates) {
  std::string fresh = dir.path("fresh.bin");
  ASSERT_EQ(0, file_open(fresh.c_str(), &handle, FILE_MODE_CREATE));
  EXPECT_EQ(0, position());
  int size = -99;
  file_size(handle, &size);
  EXPECT_EQ(0, size) << "a created file starts empty";
  file_close(handle);
  handle = NO_FILE;

  open_existing("kept.bin", digits(100), FILE_MODE_CREATE);
  EXPECT_EQ(0, position());
  int written = -1;
  ASSERT_EQ(0, file_write(handle, "ABCDEFGHIJ", 10, &written));
  EXPECT_EQ(10, written);
  file_close(handle);
  handle = NO_FILE;
  EXPECT_EQ("ABCDEFGHIJ" + digits(100).substr(10), read_file(dir.path("kept.bin")))
      << "create mode must keep bytes 10 to 99 of an existing file";
}

#ifndef _WIN32
// A private new file is owner-only from its creation: a later chmod would let
// someone open it in between and read what is written afterwards.
TEST_F(FileTest, PrivateNewFilesAreOwnerOnlyFromTheStart) {
  const mode_t old_mask = umask(0);
  for (const bool owner_only : {false, true}) {
    SCOPED_TRACE(owner_only ? "private" : "ordinary");
    const std::string name = dir.path(owner_only ? "private.bin" : "plain.bin");
    ASSERT_EQ(0, file_open(name.c_str(), &handle, FILE_MODE_NEW | (owner_only ? FILE_MODE_PRIVATE : 0)));
    EXPECT_EQ(owner_only ? 0600u : 0666u, static_cast<unsigned>(std::filesystem::status(name).permissions()));
    file_close(handle);
    handle = NO_FILE;
    char temporary[4096];
    ASSERT_EQ(0, file_create_temporary(name.c_str(), temporary, sizeof temporary, &handle,
                                       owner_only ? FILE_MODE_PRIVATE : 0));
    EXPECT_EQ(owner_only ? 0600u : 0666u, static_cast<unsigned>(std::filesystem::status(temporary).permissions()));
    file_close(handle);
    handle = NO_FILE;
  }
  umask(old_mask);
}
#endif

#ifndef _WIN32
// A file made by file_create has from the start the permissions a file made
// new and then given its attributes has, whatever the umask. The umask is read
// once per process, so each umask is tried in a child of its own.
TEST_F(FileTest, CreatedFilesHaveTheModesTheirAttributesGive) {
  const uint32_t attribute_sets[] = {0,
                                     OS_ATTR_READONLY,
                                     OS_ATTR_EXECUTE,
                                     OS_ATTR_PRIVATE,
                                     OS_ATTR_READONLY | OS_ATTR_EXECUTE,
                                     OS_ATTR_EXECUTE | OS_ATTR_PRIVATE,
                                     OS_ATTR_READONLY | OS_ATTR_PRIVATE};
  for (const mode_t mask : {0000, 0022, 0077, 0277, 0177, 0777}) {
    SCOPED_TRACE(mask);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      umask(mask);
      int wrong = 0;
      for (const uint32_t attributes : attribute_sets) {
        const std::string made = dir.path("made" + std::to_string(attributes) + "-" + std::to_string(mask));
        const std::string set = dir.path("set" + std::to_string(attributes) + "-" + std::to_string(mask));
        file_handle file = NO_FILE;
        if (file_create(made.c_str(), attributes, &file) != 0) _exit(100);
        file_close(file);
        const bool private_file = (attributes & OS_ATTR_PRIVATE) != 0;
        if (file_open(set.c_str(), &file, FILE_MODE_NEW | (private_file ? FILE_MODE_PRIVATE : 0)) != 0) _exit(101);
        file_close(file);
        os_set_attributes(set.c_str(), attributes);
        const auto mode_of = [](const std::string& path) {
          struct stat info {};
          stat(path.c_str(), &info);
          return info.st_mode & 07777;
        };
        if (mode_of(made) != mode_of(set)) {
          fprintf(stderr, "attributes %x: created %o, set afterwards %o\n", attributes, mode_of(made), mode_of(set));
          ++wrong;
        }
      }
      _exit(wrong);
    }
    int status = -1;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "a created file's mode must equal the one its attributes give afterwards";
  }
}
#endif

TEST_F(FileTest, MissingFilesFailToOpenAndLeaveTheHandleAlone) {
  std::string missing = dir.path("missing.bin");
  for (uint32_t mode : {FILE_MODE_READ, FILE_MODE_WRITE, FILE_MODE_READ_WRITE, FILE_MODE_WRITE | 0x40u}) {
    SCOPED_TRACE(mode);
    file_handle untouched = 1234;
    EXPECT_EQ(ERROR_FILE_OPEN, file_open(missing.c_str(), &untouched, mode));
    EXPECT_EQ(1234, untouched);
  }
  EXPECT_FALSE(path_exists(missing)) << "only create mode may make a file";
  EXPECT_EQ(ERROR_FILE_OPEN, file_open(nullptr, &handle, FILE_MODE_READ));
}

TEST_F(FileTest, ModesGiveTheAccessTheyName) {
  open_existing("modes.bin", "abcdef", FILE_MODE_WRITE);
  char buffer[8] = {};
  int count = -1;
  EXPECT_EQ(ERROR_FILE_READ, file_read(handle, buffer, 0, &count)) << "a write-only file cannot be read";
  EXPECT_EQ(ERROR_FILE_END, file_read(handle, buffer, 4, &count)) << "a failed read of some bytes is a short read";
  EXPECT_EQ(0, count);
  EXPECT_EQ(0, file_write(handle, "XY", 2, nullptr));
  file_close(handle);
  handle = NO_FILE;

  ASSERT_EQ(0, file_open(dir.path("modes.bin").c_str(), &handle, FILE_MODE_READ));
  EXPECT_EQ(ERROR_FILE_WRITE, file_write(handle, "Z", 1, &count)) << "a read-only file cannot be written";
  EXPECT_EQ(0, count);
  EXPECT_EQ(0, file_read(handle, buffer, 6, nullptr));
  EXPECT_EQ("XYcdef", std::string(buffer, 6));
  file_close(handle);
  handle = NO_FILE;

  ASSERT_EQ(0, file_open(dir.path("modes.bin").c_str(), &handle, FILE_MODE_READ_WRITE));
  EXPECT_EQ(0, file_seek(handle, 3, FILE_SEEK_SET));
  EXPECT_EQ(0, file_write(handle, "!", 1, nullptr));
  EXPECT_EQ(0, file_seek(handle, 0, FILE_SEEK_SET));
  EXPECT_EQ(0, file_read(handle, buffer, 6, &count));
  EXPECT_EQ("XYc!ef", std::string(buffer, 6));

  // While the file is open, others may still read it.
  EXPECT_EQ("XYc!ef", read_file(dir.path("modes.bin")));
}

TEST_F(FileTest, ShortReadsReportWhatArrived) {
  open_existing("data.bin", digits(100));
  char buffer[32] = {};
  int count = -1;
  ASSERT_EQ(0, file_seek(handle, -10, FILE_SEEK_END));
  EXPECT_EQ(ERROR_FILE_END, file_read(handle, buffer, 32, &count)) << "32 bytes asked, 10 left";
  EXPECT_EQ(10, count);
  EXPECT_EQ(digits(100).substr(90), std::string(buffer, 10));
  EXPECT_EQ(0, file_read(handle, buffer, 0, &count)) << "reading nothing at the end is no failure";
  EXPECT_EQ(0, count);
  EXPECT_EQ(ERROR_FILE_END, file_read(handle, buffer, 1, nullptr));
  EXPECT_EQ(ERROR_FILE_READ, file_read(handle, buffer, -1, &count)) << "a negative count is refused";
  EXPECT_EQ(0, count);
  EXPECT_EQ(ERROR_FILE_WRITE, file_write(handle, buffer, -5, &count));
  EXPECT_EQ(0, count);
}

TEST_F(FileTest, SeekOriginsAndLimits) {
  open_existing("seek.bin", digits(100));
  struct {
    int32_t offset;
    int origin;
    int status;
    int position;
  } steps[] = {
      {5, FILE_SEEK_SET, 0, 5},
      {3, FILE_SEEK_CUR, 0, 8},
      {-4, FILE_SEEK_END, 0, 96},
      {6, 7, 0, 6},  // any other origin counts from the start
      {-1, FILE_SEEK_SET, ERROR_FILE_SEEK, 6},
      {-7, FILE_SEEK_CUR, ERROR_FILE_SEEK, 6},
      {-101, FILE_SEEK_END, ERROR_FILE_SEEK, 6},
      {50, FILE_SEEK_END, 0, 150},  // past the end is allowed
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << "offset " << s.offset << " origin " << s.origin);
    EXPECT_EQ(s.status, file_seek(handle, s.offset, s.origin));
    EXPECT_EQ(s.position, position());
  }
  char last[4];
  ASSERT_EQ(0, file_seek(handle, -4, FILE_SEEK_END));
  ASSERT_EQ(0, file_read(handle, last, 4, nullptr));
  EXPECT_EQ("6789", std::string(last, 4));
}

TEST_F(FileTest, SizeLeavesThePositionWhereItWas) {
  open_existing("size.bin", digits(77));
  ASSERT_EQ(0, file_seek(handle, 12, FILE_SEEK_SET));
  int size = -1;
  EXPECT_EQ(0, file_size(handle, &size));
  EXPECT_EQ(77, size);
  EXPECT_EQ(12, position());
}

TEST_F(FileTest, ExistsMeansReadableAsAFile) {
  write_file(dir.path("there.txt"), "x");
  std::filesystem::create_directory(dir.path("folder"));
  EXPECT_EQ(0, file_exists(dir.path("there.txt").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, file_exists(dir.path("folder").c_str())) << "a directory is not a file";
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, file_exists(dir.path("absent.txt").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, file_exists(nullptr));
  file_handle folder = NO_FILE;
  EXPECT_EQ(ERROR_FILE_OPEN, file_open(dir.path("folder").c_str(), &folder, FILE_MODE_READ));
}

TEST_F(FileTest, DirChangeFallsBackToTheFolderOfAFile) {
  current_dir_guard guard;
  namespace fs = std::filesystem;
  fs::create_directories(dir.path("outer/inner"));
  write_file(dir.path("outer/inner/file.txt"), "x");
  write_file(dir.path("outer/plain.txt"), "x");
  fs::path inner = fs::canonical(dir.path("outer/inner"));
  fs::path outer = fs::canonical(dir.path("outer"));

  EXPECT_EQ(0, dir_change(dir.path("outer/inner/file.txt").c_str())) << "a file path makes its folder current";
  EXPECT_EQ(inner, fs::canonical(fs::current_path()));
  EXPECT_EQ(0, dir_change(dir.path("outer").c_str()));
  EXPECT_EQ(outer, fs::canonical(fs::current_path()));
  EXPECT_EQ(ERROR_DIR_CHANGE, dir_change("plain.txt")) << "a bare file name has no folder to fall back to";
  EXPECT_EQ(0, dir_change("inner")) << "a bare name that is a directory is entered";
  EXPECT_EQ(inner, fs::canonical(fs::current_path()));
  EXPECT_EQ(ERROR_DIR_CHANGE, dir_change(dir.path("nowhere/at/all.txt").c_str()));
  EXPECT_EQ(ERROR_DIR_CHANGE, dir_change(""));
  EXPECT_EQ(inner, fs::canonical(fs::current_path())) << "failures leave the current directory alone";
}

TEST_F(FileTest, StartAndStopRegisterKeyZeroAndItsHook) {
  reset_foundation();
  EXPECT_EQ(0, file_start());
  EXPECT_TRUE(module_is_registered(0));
  ASSERT_EQ(1, hook_count());
  EXPECT_EQ(&file_stop, module_hook_slots()[0].hook);
  EXPECT_EQ(HOOK_TERMINATE, module_hook_slots()[0].flags);
  file_stop();
  EXPECT_FALSE(module_is_registered(0));
  EXPECT_EQ(0, hook_count());
}

#ifndef _WIN32
// Positions are 32-bit: the layer refuses to go to 2 GiB or beyond, and a
// file that large has no size it can report.
TEST_F(FileTest, PositionsAtOrBeyondTwoGibibytesAreRefused) {
  std::string big = dir.path("big.bin");
  write_file(big, "");
  std::filesystem::resize_file(big, (uint64_t{3} << 30));  // sparse
  ASSERT_EQ(0, file_open(big.c_str(), &handle, FILE_MODE_READ));
  ASSERT_EQ(0, file_seek(handle, INT32_MAX, FILE_SEEK_SET));
  EXPECT_EQ(ERROR_FILE_SEEK, file_seek(handle, 1, FILE_SEEK_CUR));
  EXPECT_EQ(ERROR_FILE_SEEK, file_seek(handle, -4, FILE_SEEK_END));
  EXPECT_EQ(INT32_MAX, position()) << "a refused seek leaves the position";
  int size = 0;
  EXPECT_EQ(0, file_size(handle, &size));
  EXPECT_EQ(-1, size) << "a size the layer cannot hold must not pass for a length";
  EXPECT_EQ(INT32_MAX, position());
}
#endif

}  // namespace
