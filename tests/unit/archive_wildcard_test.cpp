// The wildcard matcher.
#include "archive/wildcard.h"
#include "gtest/gtest.h"

namespace {

TEST(ArchiveWildcard, MatchesNamesAsTheExtractorSelectsThem) {
  struct {
    const char* pattern;
    const char* name;
    int expected;
  } cases[] = {
      {"*.*", "a.txt", 1},
      {"*.*", "docs\\sub\\deep.bin", 1},
      {"*.*", "noextension", 1},
      {"readme.txt", "README.TXT", 1},
      {"readme.txt", "docs\\readme.txt", 0},
      {"*.txt", "docs\\a.txt", 1},
      {"*.txt", "a.bin", 0},
      {"docs\\*.*", "docs\\a.txt", 1},
      {"docs\\*.*", "docs\\sub\\b.txt", 1},
      {"docs\\*.*", "Docs\\a.txt", 0},
      {"docs\\*.*", "a.txt", 0},
      {"docs/*.*", "docs/a.txt", 1},
      {"a*z.txt", "abc.txt", 1},
      {"*", "anything.at\\all", 1},
      {"*", "x\\y.z", 1},
      {"a.txt", "a.txt.bak", 0},
      {"a?.txt", "ab.txt", 0},
      {"C:*.txt", "a.txt", 1},
      {"data.tar.gz", "DATA.TAR.GZ", 1},
      {"abc", "ab", 0},
      {"ab", "abc", 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(std::string(test.pattern) + " against " + test.name);
    EXPECT_EQ(test.expected, wildcard_match(test.pattern, test.name));
  }
}

TEST(ArchiveWildcard, PartsMatchUpToTheFirstStar) {
  struct {
    const char* pattern;
    const char* text;
    int expected;
  } cases[] = {
      {"", "", 1},  {"*", "", 1},      {"", "a", 0},     {"a*", "A", 1},
      {"ab*x", "abzzz", 1}, {"abc", "ABC", 1}, {"abc", "abd", 0}, {"a", "ab", 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(std::string(test.pattern) + " against " + test.text);
    EXPECT_EQ(test.expected, wildcard_match_part(test.pattern, test.text));
  }
}

}  // namespace
