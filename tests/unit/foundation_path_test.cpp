// Path split and join with the platform's separator rules.
#include <gtest/gtest.h>

#include <string>

#include "foundation/path.h"

namespace {

struct split_case {
  const char* path;
  const char* drive;
  const char* dir;
  const char* name;
  const char* ext;
};

#ifdef _WIN32
const split_case split_cases[] = {
    {"C:\\dir\\sub\\file.txt", "C:", "\\dir\\sub\\", "file", ".txt"},
    {"C:/mixed\\seps/a.b.c", "C:", "/mixed\\seps/", "a.b", ".c"},
    {"D:name", "D:", "", "name", ""},
    {"\\\\server\\share\\x.qpk", "", "\\\\server\\share\\", "x", ".qpk"},
    {"dir.d\\noext", "", "dir.d\\", "noext", ""},
    {"file.", "", "", "file", "."},
    {".hidden", "", "", "", ".hidden"},
    {"", "", "", "", ""},
};
#else
const split_case split_cases[] = {
    {"/home/user/archive.qpk", "", "/home/user/", "archive", ".qpk"},
    {"C:/not/a/drive.x", "", "C:/not/a/", "drive", ".x"},
    {"back\\slash.txt", "", "", "back\\slash", ".txt"},
    {"dir.d/noext", "", "dir.d/", "noext", ""},
    {"/", "", "/", "", ""},
    {".hidden", "", "", "", ".hidden"},
    {"plain", "", "", "plain", ""},
};
#endif

TEST(PathTest, SplitKeepsTheSeparatorOfTheDirectoryAndTheDotOfTheExtension) {
  for (const split_case& c : split_cases) {
    SCOPED_TRACE(c.path);
    char drive[PATH_SIZE], dir[PATH_SIZE], name[PATH_SIZE], ext[PATH_SIZE];
    ASSERT_TRUE(path_split(c.path, drive, dir, name, ext));
    EXPECT_STREQ(c.drive, drive);
    EXPECT_STREQ(c.dir, dir);
    EXPECT_STREQ(c.name, name);
    EXPECT_STREQ(c.ext, ext);

    char joined[PATH_SIZE];
    ASSERT_TRUE(path_join(joined, sizeof joined, drive, dir, name, ext));
    EXPECT_STREQ(c.path, joined) << "joining the parts gives the path back";
    ASSERT_TRUE(path_split(c.path, nullptr, dir, nullptr, nullptr)) << "unwanted parts may be null";
    EXPECT_STREQ(c.dir, dir);
  }
}

TEST(PathTest, JoinAddsMissingSeparators) {
  const std::string sep(1, PATH_SEPARATOR);
  struct {
    const char* drive;
    const char* dir;
    const char* name;
    const char* ext;
    std::string expected;
  } cases[] = {
#ifdef _WIN32
      {"C", "dir", "file", "txt", "C:dir\\file.txt"},
      {"C:", "\\dir\\", "file", ".txt", "C:\\dir\\file.txt"},
      {"C:", "/dir/", "file", "", "C:/dir/file"},
#endif
      {nullptr, "dir", "file", ".exe", "dir" + sep + "file.exe"},
      {"", sep.c_str(), "file", "txt", sep + "file.txt"},
      {nullptr, nullptr, "file", "exe", "file.exe"},
      {nullptr, nullptr, nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    char out[PATH_SIZE];
    ASSERT_TRUE(path_join(out, sizeof out, c.drive, c.dir, c.name, c.ext));
    EXPECT_EQ(c.expected, out);
  }
}

TEST(PathTest, PartsThatDoNotFitAreRefusedNotCut) {
  std::string long_dir(PATH_SIZE, 'd');
  std::string too_long = long_dir + PATH_SEPARATOR + "name.txt";
  char dir[PATH_SIZE] = "x";
  char name[PATH_SIZE] = "x";
  EXPECT_FALSE(path_split(too_long.c_str(), nullptr, dir, name, nullptr));
  EXPECT_STREQ("", dir) << "a refused split leaves every part empty";
  EXPECT_STREQ("", name);
  EXPECT_FALSE(path_split(nullptr, nullptr, dir, nullptr, nullptr));

  std::string just_fits(PATH_SIZE - 1, 'n');
  ASSERT_TRUE(path_split(just_fits.c_str(), nullptr, nullptr, name, nullptr));
  EXPECT_EQ(just_fits, name);

  char small[8] = "x";
  EXPECT_FALSE(path_join(small, sizeof small, nullptr, "dir", "file", "txt")) << "12 characters do not fit 8 bytes";
  EXPECT_STREQ("", small);
  EXPECT_TRUE(path_join(small, sizeof small, nullptr, "ab", "cd", "e"));  // "ab/cd.e" is 7
  EXPECT_FALSE(path_join(small, 0, nullptr, nullptr, "a", nullptr));
}

TEST(PathTest, SeparatorsAreThePlatformsOwn) {
  EXPECT_TRUE(is_separator('/'));
  EXPECT_FALSE(is_separator(':'));
#ifdef _WIN32
  EXPECT_TRUE(is_separator('\\'));
#else
  EXPECT_FALSE(is_separator('\\')) << "a backslash is an ordinary character on POSIX";
#endif
}

}  // namespace
