// Cutting a command-line tail into words: spaces only, quotes, limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/options.h"

namespace {

struct split_result {
  int status;
  std::vector<std::string> words;
};

split_result split(std::string tail, int capacity = ARGUMENT_VECTOR_SIZE - 1) {
  std::vector<char> text(tail.begin(), tail.end());
  text.push_back('\0');
  std::vector<char*> words(capacity > 0 ? capacity : 1, nullptr);
  int count = -1;
  split_result result{split_command_line(text.data(), &count, words.data(), capacity), {}};
  for (int i = 0; i < count; ++i) {
    // The words live in the tail's own storage.
    EXPECT_TRUE(words[i] >= text.data() && words[i] < text.data() + text.size())
        << "word " << i << " must point into the split text";
    result.words.emplace_back(words[i]);
  }
  return result;
}

std::string many_words(int n) {
  std::string line;
  for (int i = 0; i < n; ++i) {
    line += 'w';
    line += std::to_string(i);
    line += ' ';
  }
  return line;
}

}  // namespace

TEST(SplitCommandLine, QuotingAndSeparators) {
  struct {
    const char* tail;
    std::vector<std::string> words;
  } cases[] = {
      {"alpha  \"beta gamma\"delta  ", {"alpha", "beta gamma", "delta"}},
      {"\"\"", {""}},
      {"\"\"\"\"", {"", ""}},
      {"\"abc", {"abc"}},
      {"\"open with  spaces  ", {"open with  spaces  "}},
      {"alpha\tbeta", {"alpha\tbeta"}},
      {"\talpha \t", {"\talpha", "\t"}},
      {"x\"y z\"", {"x\"y", "z\""}},
      {"\"a\"\"b\"", {"a", "b"}},
      {"\"a\"b", {"a", "b"}},
      {"   leading", {"leading"}},
      {"trailing   ", {"trailing"}},
      {"", {}},
      {"     ", {}},
      {"/e \"start readme.txt\" data.qpk", {"/e", "start readme.txt", "data.qpk"}},
      {"a\\\"b c", {"a\\\"b", "c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("tail [") + c.tail + "]");
    split_result result = split(c.tail);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(c.words, result.words);
  }
}

TEST(SplitCommandLine, NullTextGivesNoWords) {
  int count = -1;
  char* words[1] = {};
  EXPECT_EQ(0, split_command_line(nullptr, &count, words, 1));
  EXPECT_EQ(0, count);
}

TEST(SplitCommandLine, RefusesMoreWordsThanTheVectorHolds) {
  split_result fits = split(many_words(15) + "   ");
  EXPECT_EQ(0, fits.status) << "15 words and trailing spaces fit the argument vector";
  ASSERT_EQ(15u, fits.words.size());
  EXPECT_EQ("w14", fits.words[14]);

  split_result over = split(many_words(16));
  EXPECT_EQ(ERROR_TOO_MANY_WORDS, over.status) << "a 16th word must be refused, not dropped silently";
  ASSERT_EQ(15u, over.words.size()) << "only the words that fit are stored";
  EXPECT_EQ("w0", over.words[0]);
  EXPECT_EQ("w14", over.words[14]);

  EXPECT_EQ(ERROR_TOO_MANY_WORDS, split("\"\"", 0).status) << "even an empty word needs a slot";
  EXPECT_EQ(0, split("   ", 0).status) << "spaces alone need no slot";
}
