// The failure record: the file a failure concerned and why, as the line
// under a failure message shows it.
#include <string>

#include "foundation/failure.h"
#include "foundation/file.h"
#include "gtest/gtest.h"

namespace {

std::string described(size_t size = 512) {
  char text[512] = "untouched";
  if (!failure_describe(text, size)) return "(none)";
  return text;
}

}  // namespace

TEST(FoundationFailure, NamesTheFirstFileAndTheSystemsReason) {
  failure_clear();
  EXPECT_EQ("(none)", described()) << "no file noted, no line";
  file_handle file = NO_FILE;
  ASSERT_EQ(ERROR_FILE_OPEN, file_open("no-such-folder/missing.txt", &file, FILE_MODE_READ));
  failure_note_path("d/f33");
  failure_note_path("a clean-up step");
  const std::string line = described();
  EXPECT_EQ(0u, line.rfind("d/f33: ", 0)) << line << ": the first file noted stays";
  EXPECT_NE("d/f33: failed", line) << "the failed open left the system's reason";

  failure_note_reason("the deflated data is damaged");
  EXPECT_EQ("d/f33: the deflated data is damaged", described());
  EXPECT_EQ("d/f3", described(5)) << "cut to the buffer, with its zero";

  EXPECT_FALSE(failure_is_too_long()) << "damaged data is no path too long";

  failure_clear();
  failure_note_path("x");
  EXPECT_EQ("x: failed", described());
  failure_clear();
  failure_note_too_long("deep/name");
  EXPECT_TRUE(failure_is_too_long()) << "the Windows box names only such a path";
  EXPECT_EQ("deep/name: the path is too long", described());
  failure_clear();
  EXPECT_FALSE(failure_is_too_long());
}
