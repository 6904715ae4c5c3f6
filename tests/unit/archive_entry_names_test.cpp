// Entry names of both origins (UTF-8 from Linux, ANSI from Windows) become
// one consistent target path, split by character.
#include <gtest/gtest.h>

#include <string>

#include "archive/entry_target.h"
#include "foundation/path.h"
#ifdef _WIN32
#include "foundation/win32/code_page.h"
#endif

namespace {

std::string target_of(const char* base, const char* name, int use_paths) {
  char target[PATH_SIZE];
  EXPECT_EQ(0, entry_target_path(base, name, use_paths, target, sizeof target)) << name;
  return target;
}

}  // namespace

#ifdef _WIN32
TEST(EntryNames, Utf8NamesJoinTheBaseInUtf8) {
  // The base comes from the system in the ANSI code page (Windows-1252 here).
  os_set_ansi_code_page(1252);
  EXPECT_EQ("C:\\Donn\xC3\xA9" "es\\dossier\\r\xC3\xA9sum\xC3\xA9.txt",
            target_of("C:\\Donn\xE9" "es\\", "dossier\\r\xC3\xA9sum\xC3\xA9.txt", 1))
      << "an ANSI base joined to a UTF-8 name must be converted to UTF-8";
  EXPECT_EQ("C:\\Donn\xE9" "es\\caf\xE9.txt", target_of("C:\\Donn\xE9" "es\\", "caf\xE9.txt", 1))
      << "an ANSI name keeps the ANSI base";
  os_set_ansi_code_page(0);
}

TEST(EntryNames, DoubleByteNamesAreSplitByCharacter) {
  os_set_ansi_code_page(932);
  // 表 in code page 932 is 95 5C: its second byte is the byte of "\".
  const char* const name = "\x95\x5C.txt";
  EXPECT_EQ(nullptr, entry_name_problem(name));
  EXPECT_EQ(nullptr, entry_name_problem("\x95\x5C")) << "a name ending in such a character is whole";
  EXPECT_EQ(std::string("C:\\d\\") + name, target_of("C:\\d\\", "dir\\\x95\x5C.txt", 0))
      << "/nopath must keep the whole last component";
  char dir[PATH_SIZE], file[PATH_SIZE], ext[PATH_SIZE];
  ASSERT_TRUE(path_split("C:\\\x95\x5C\\\x95\x5C.txt", nullptr, dir, file, ext));
  EXPECT_EQ("\\\x95\x5C\\", std::string(dir));
  EXPECT_EQ("\x95\x5C", std::string(file));
  EXPECT_EQ(".txt", std::string(ext));
  EXPECT_NE(nullptr, entry_name_problem("\x95\x5C\\..\\x")) << "a real '..' component is still refused";
  os_set_ansi_code_page(0);
}
#else
TEST(EntryNames, AnsiNamesBecomeUtf8OnPosix) {
  EXPECT_EQ("/d/caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt", target_of("/d/", "caf\xE9\\r\xE9sum\xE9.txt", 1));
  EXPECT_EQ("/d/r\xC3\xA9sum\xC3\xA9.txt", target_of("/d/", "caf\xE9\\r\xE9sum\xE9.txt", 0));
  EXPECT_EQ("/d/\xE6\x97\xA5/a.txt", target_of("/d/", "\xE6\x97\xA5\\a.txt", 1)) << "UTF-8 stays byte for byte";
  EXPECT_EQ("/\xE9/a", target_of("/\xE9/", "a", 1)) << "the base is the file system's own";
}

TEST(EntryNames, ConvertedNamesStayInTheTarget) {
  // Each of these bytes becomes three: 100 of them need 301 bytes.
  const std::string name(100, '\x80');
  char target[301];
  EXPECT_EQ(ERROR_ENTRY_NAME, entry_target_path("", name.c_str(), 1, target, sizeof target - 1));
  EXPECT_EQ(0, entry_target_path("", name.c_str(), 1, target, sizeof target));
}
#endif
