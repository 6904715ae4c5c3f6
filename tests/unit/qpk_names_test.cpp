// Entry names, stored base names, size limits and DOS time stamps.
#include <gtest/gtest.h>

#include "archive/entry_target.h"
#include "tools/qpk/dos_time.h"
#include "tools/qpk/gather.h"

TEST(QpkNames, OnlyNamesThatStayInsideTheDestinationAreStorable) {
  struct name_case {
    std::string name;
    bool storable;
  };
  const name_case cases[] = {
      {"a.txt", true},
      {"docs\\sub\\b.txt", true},
      {"..hidden\\x", true},
      {std::string(127, 'n'), true},
      {std::string(128, 'n'), false},
      {"", false},
      {"..", false},
      {"docs\\..\\..\\x", false},
      {"docs\\.\\x", false},
      {"docs\\...\\x", false},
      {"docs\\. .\\x", false},
      {"\\etc\\passwd", false},
      {"C:\\x", false},
      {"a:stream", false},
      {"a/../../x", false},
      {"docs\\\\x", false},
      {"docs\\", false},
      {"bell\a", false},
  };
  for (const name_case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* problem = entry_name_problem(c.name);
    EXPECT_EQ(c.storable, problem == nullptr) << (problem ? problem : "accepted");
  }
}

TEST(QpkNames, GivenPathsAreStoredUnderTheirLastComponent) {
  struct base_case {
    std::string path;
    std::string base;
  };
  const base_case cases[] = {
      {"docs", "docs"},
      {"docs/", "docs"},
      {"a/b/docs", "docs"},
      {".", ""},
      {"..", ""},
      {"../docs", "docs"},
      {"/", ""},
#ifdef _WIN32
      {"C:\\", ""},
      {"C:", ""},
      {"C:docs", "docs"},
      {"a\\b\\docs\\", "docs"},
#endif
  };
  for (const base_case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.base, stored_base_name(c.path));
  }
}

TEST(QpkNames, FilesOfTwoGibibytesOrMoreAreRefused) {
  EXPECT_EQ(nullptr, file_size_problem(0));
  EXPECT_EQ(nullptr, file_size_problem(0x7FFFFFFF)) << "the largest size a signed 32-bit seek reaches";
  EXPECT_NE(nullptr, file_size_problem(0x80000000ull));
  EXPECT_NE(nullptr, file_size_problem(0x100000000ull)) << "sizes must not wrap to small numbers";
}

TEST(QpkNames, ModificationTimesBecomeDosFieldsAsUtc) {
  struct stamp_case {
    const char* what;
    int64_t seconds;
    unsigned year, month, day, hour, minute, second;
  };
  const stamp_case cases[] = {
      {"before 1980 clamps", -86400, 1980, 1, 1, 0, 0, 0},
      {"1970 clamps", 0, 1980, 1, 1, 0, 0, 0},
      {"the first instant", 315532800, 1980, 1, 1, 0, 0, 0},
      {"odd seconds round down", 315532801, 1980, 1, 1, 0, 0, 0},
      {"an ordinary time", 981173107, 2001, 2, 3, 4, 5, 6},
      {"a leap day", 1709251199, 2024, 2, 29, 23, 59, 58},
      {"the last instant", 4354819199, 2107, 12, 31, 23, 59, 58},
      {"after 2107 clamps", 4354819200, 2107, 12, 31, 23, 59, 58},
      {"far after 2107 clamps", 99999999999, 2107, 12, 31, 23, 59, 58},
  };
  for (const stamp_case& c : cases) {
    SCOPED_TRACE(c.what);
    dos_stamp stamp = dos_stamp_from_unix(c.seconds);
    EXPECT_EQ(c.year, 1980u + (stamp.date >> 9));
    EXPECT_EQ(c.month, (stamp.date >> 5) & 0x0Fu);
    EXPECT_EQ(c.day, stamp.date & 0x1Fu);
    EXPECT_EQ(c.hour, static_cast<unsigned>(stamp.time >> 11));
    EXPECT_EQ(c.minute, (stamp.time >> 5) & 0x3Fu);
    EXPECT_EQ(c.second, (stamp.time & 0x1Fu) * 2);
  }
}
