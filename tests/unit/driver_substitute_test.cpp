// Expanding "$(Destination)" in a recorded command: every occurrence, no
// rescanning, and nothing cut when the result would not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/run_state.h"
#include "driver/substitute.h"

namespace {

struct substitution {
  const char* text;
  const char* value;
  const char* expected;
};

TEST(Substitute, ReplacesEveryTokenAndNothingElse) {
  const substitution table[] = {
      {"$(Destination)\\a $(Destination)\\b", "C:\\T", "C:\\T\\a C:\\T\\b"},
      {"setup.exe /s", "C:\\T", "setup.exe /s"},
      {"", "C:\\T", ""},
      {"$(Destination)", "$(Destination)x", "$(Destination)x"},  // the value is not expanded again
      {"$(destination)", "C:\\T", "$(destination)"},             // case matters
      {"$(Destination)$(Destination)", "", ""},
      {"a$(Destination", "X", "a$(Destination"},
  };
  for (const substitution& row : table) {
    SCOPED_TRACE(row.text);
    char out[256] = "junk";
    EXPECT_EQ(0, substitute_all(DESTINATION_TOKEN, row.value, row.text, out, sizeof out));
    EXPECT_STREQ(row.expected, out);
  }
}

TEST(Substitute, RefusesWhatDoesNotFitInsteadOfCutting) {
  const std::string value(200, 'v');
  char out[256];
  EXPECT_EQ(ERROR_TEXT_TOO_LONG,
            substitute_all(DESTINATION_TOKEN, value.c_str(), "$(Destination) $(Destination)", out, sizeof out))
      << "two 200-character values do not fit 255 characters";
  EXPECT_STREQ("", out) << "a refused result must not be half a command";

  const std::string exact(255, 'e');
  EXPECT_EQ(0, substitute_all(DESTINATION_TOKEN, exact.c_str(), "$(Destination)", out, sizeof out))
      << "255 characters and the zero fit exactly";
  EXPECT_EQ(exact, out);
  const std::string over(256, 'e');
  EXPECT_EQ(ERROR_TEXT_TOO_LONG, substitute_all(DESTINATION_TOKEN, "", over.c_str(), out, sizeof out));
}

TEST(Substitute, ExpandDestinationUsesTheTargetPath) {
  snprintf(g_target_path, sizeof g_target_path, "%s", "/tmp/QOR1234");
  char out[256];
  ASSERT_EQ(0, expand_destination("start $(Destination)/a.txt", out, sizeof out, false));
  EXPECT_STREQ("start /tmp/QOR1234/a.txt", out) << "what goes to no shell is not quoted";
  ASSERT_EQ(0, expand_destination("$(Destination)/setup.sh go", out, sizeof out, true));
#ifdef _WIN32
  EXPECT_STREQ("/tmp/QOR1234/setup.sh go", out);
#else
  EXPECT_STREQ("'/tmp/QOR1234'/setup.sh go", out) << "the destination is one shell word";
  const struct {
    const char* text;
    const char* word;
  } words[] = {{"two words", "'two words'"}, {"it's", "'it'\\''s'"}, {"a;touch /tmp/x", "'a;touch /tmp/x'"}, {"", "''"}};
  for (const auto& test : words) {
    ASSERT_EQ(0, shell_word(test.text, out, sizeof out));
    EXPECT_STREQ(test.word, out);
  }
  EXPECT_EQ(ERROR_TEXT_TOO_LONG, shell_word(std::string(254, 'w').c_str(), out, sizeof out)) << "quotes must fit too";
#endif
}

}  // namespace
