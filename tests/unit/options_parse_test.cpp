// The option parse as a user sees it: which words are options, which are
// parameters and which are positional words, and the status of a bad line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/failure.h"
#include "foundation/path.h"
#include "options/options.h"

namespace {

struct status_case {
  const char* tail;
  int status;
};

// Each test starts from a fresh parse state.
class OptionsParse : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, options_init(&state_)); }
  void TearDown() override { options_free(&state_); }

  // Parses words as the argument vector's entries 1 onward.
  int parse_words(std::vector<std::string> words) {
    words_ = std::move(words);
    std::vector<char*> argv{const_cast<char*>("QPK2EXE")};
    for (auto& word : words_) argv.push_back(word.data());
    return options_parse(&state_, static_cast<int>(argv.size()), argv.data());
  }

  // Splits a command-line tail the way the program entry does, then parses.
  int parse_line(const std::string& tail) {
    std::vector<char> text(tail.begin(), tail.end());
    text.push_back('\0');
    char* words[ARGUMENT_VECTOR_SIZE - 1] = {};
    int count = 0;
    EXPECT_EQ(0, split_command_line(text.data(), &count, words, ARGUMENT_VECTOR_SIZE - 1));
    return parse_words(std::vector<std::string>(words, words + count));
  }

  std::vector<std::string> positionals() const {
    std::vector<std::string> result;
    for (int i = 0; i < positional_count(state_); ++i) {
      char word[PATH_SIZE];
      EXPECT_EQ(0, positional_get(state_, i, word));
      result.emplace_back(word);
    }
    return result;
  }

  std::string parameter(const char* option) const {
    char text[OPTION_PARAMETER_SIZE] = "untouched";
    EXPECT_GE(option_parameter(state_, option, text), 0) << option << " takes a parameter";
    return text;
  }

  // Parses each command line from a fresh start and checks its status.
  void expect_statuses(const std::vector<status_case>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string("command line [") + c.tail + "]");
      ASSERT_EQ(0, options_init(&state_));
      EXPECT_EQ(c.status, parse_line(c.tail));
    }
  }

  option_state state_;
  std::vector<std::string> words_;
};

}  // namespace

TEST_F(OptionsParse, BadOptionsAreRefusedWithTheirStatus) {
  std::vector<status_case> cases = {
      {"-NoPath", ERROR_INVALID_OPTION},
      {"-nopath:", ERROR_INVALID_OPTION},
      {"--nopath", ERROR_INVALID_OPTION},
      {"-", ERROR_INVALID_OPTION},
      {"-bogus", ERROR_INVALID_OPTION},
      {"-nopath -nopath", ERROR_OPTION_ALREADY_SET},
      {"/nopath /nopath", ERROR_OPTION_ALREADY_SET},
      {"/y -y", ERROR_OPTION_ALREADY_SET},
      {"/e", ERROR_OPTION_MISSING_PARAMETER},
      {"data.qpk -name", ERROR_OPTION_MISSING_PARAMETER},
      {"/name /nostatus", ERROR_OPTION_MISSING_PARAMETER},
      {"-e -y", ERROR_OPTION_MISSING_PARAMETER},
      {"/destinationdirectory \"\"", ERROR_OPTION_MISSING_PARAMETER},
      // An empty word cannot name an archive or a destination.
      {"\"\"", ERROR_INVALID_OPTION},
      {"data.qpk \"\" out.exe", ERROR_INVALID_OPTION},
      {"nopath", 0},
      {"/nopath nopath -y", 0},
      {"", 0},
  };
#ifdef _WIN32
  // Every "/" word is an option word here.
  cases.insert(cases.end(), {
                                {"/NOPATH", ERROR_INVALID_OPTION},
                                {"//nopath", ERROR_INVALID_OPTION},
                                {"/", ERROR_INVALID_OPTION},
                                {"/nopath:", ERROR_INVALID_OPTION},
                                {"/opt/setup.sh", ERROR_INVALID_OPTION},
                                {"/e /opt/setup.sh", ERROR_OPTION_MISSING_PARAMETER},
                            });
#endif
  expect_statuses(cases);
}

TEST_F(OptionsParse, EitherPrefixMarksTheSameOption) {
  ASSERT_EQ(0, parse_line("-nopath /y"));
  EXPECT_EQ(1, option_is_set(state_, "nopath"));
  EXPECT_EQ(1, option_is_set(state_, "y"));
  for (const char* unset : {"q1", "q2", "e", "n", "deleteafter", "nosplash", "nostatus", "name"})
    EXPECT_EQ(0, option_is_set(state_, unset)) << unset << " was not on the command line";
  EXPECT_EQ(0, option_is_set(state_, "bogus")) << "a word not in the table is simply not set";
  EXPECT_EQ(0, option_is_set(state_, ""));
  EXPECT_EQ(0, positional_count(state_)) << "option words are not positional words";
}

TEST_F(OptionsParse, ParametersAreTakenWholeAndNotCollected) {
  ASSERT_EQ(0, parse_line("/e \"start readme.txt\" data.qpk -name \"My Setup\" /destinationdirectory C:\\Out out.exe"));
  EXPECT_EQ("start readme.txt", parameter("e"));
  EXPECT_EQ("My Setup", parameter("name"));
  EXPECT_EQ("C:\\Out", parameter("destinationdirectory"));
  EXPECT_EQ((std::vector<std::string>{"data.qpk", "out.exe"}), positionals());
}

TEST_F(OptionsParse, PositionalWordsKeepTheirOrder) {
  ASSERT_EQ(0, parse_line("data.qpk /nopath out.exe"));
  EXPECT_EQ((std::vector<std::string>{"data.qpk", "out.exe"}), positionals());
  char word[PATH_SIZE] = "untouched";
  EXPECT_EQ(ERROR_NO_SUCH_POSITIONAL, positional_get(state_, 2, word));
  EXPECT_EQ(ERROR_NO_SUCH_POSITIONAL, positional_get(state_, -1, word));
}

TEST_F(OptionsParse, TheWalkStopsAtTheFirstErrorKeepingWhatCameBefore) {
  EXPECT_EQ(ERROR_INVALID_OPTION, parse_line("a.qpk /y b.exe -bogus c.exe -n"));
  EXPECT_EQ(1, option_is_set(state_, "y"));
  EXPECT_EQ(0, option_is_set(state_, "n")) << "nothing after the bad word is parsed";
  EXPECT_EQ((std::vector<std::string>{"a.qpk", "b.exe"}), positionals());
}

TEST_F(OptionsParse, ParameterQueries) {
  char text[OPTION_PARAMETER_SIZE] = "untouched";
  EXPECT_EQ(ERROR_INVALID_OPTION, option_parameter(state_, "bogus", text));
  EXPECT_EQ(ERROR_OPTION_MISSING_PARAMETER, option_parameter(state_, "nopath", text))
      << "an option without a parameter has none to give";
  EXPECT_EQ("", parameter("e")) << "an option not given yields an empty parameter";
}

TEST_F(OptionsParse, SearchOrderIsTheFixedTable) {
  const char* order[OPTION_COUNT] = {"q1", "q2", "nopath", "y", "n", "deleteafter", "forcedeleteprompt", "e",
                                     "nosplash", "nosplashonextract", "nostatus", "name", "destinationdirectory"};
  for (int i = 0; i < OPTION_COUNT; ++i) EXPECT_EQ(i, option_find(order[i])) << order[i];
  for (const char* missing : {"E", "nopat", "nopathx", "", "/nopath"}) EXPECT_EQ(-1, option_find(missing)) << missing;
  EXPECT_EQ(-1, option_find(nullptr));
}

TEST_F(OptionsParse, LongWordsAreRefusedNotCut) {
  const std::string longest_parameter(254, 'p');
  ASSERT_EQ(0, parse_words({"/e", longest_parameter}));
  EXPECT_EQ(longest_parameter, parameter("e")) << "254 characters fit the parameter field";

  ASSERT_EQ(0, options_init(&state_));
  EXPECT_EQ(ERROR_WORD_TOO_LONG, parse_words({"/e", std::string(255, 'p')}))
      << "a 255-character parameter must be refused, not cut";
  EXPECT_EQ("", parameter("e"));

  ASSERT_EQ(0, options_init(&state_));
  // A positional word is a path: 255 characters on Win32, 4095 bytes on POSIX.
  const std::string longest_word(PATH_SIZE - 1, 'w');
  ASSERT_EQ(0, parse_words({longest_word}));
  EXPECT_EQ((std::vector<std::string>{longest_word}), positionals()) << "PATH_SIZE - 1 characters fit the callers' buffers";

  ASSERT_EQ(0, options_init(&state_));
  failure_clear();
  const std::string too_long(PATH_SIZE, 'w');
  EXPECT_EQ(ERROR_WORD_TOO_LONG, parse_words({"a.qpk", too_long})) << "a longer positional word must be refused, not cut";
  EXPECT_EQ(1, positional_count(state_));
  char reason[FAILURE_PATH_SIZE + 128];
  ASSERT_TRUE(failure_describe(reason, sizeof reason)) << "the refused word is named";
  EXPECT_EQ(too_long + ": the path is too long", reason);

  // A caller adding a long word directly still cannot overrun a PATH_SIZE buffer.
  ASSERT_EQ(0, positional_add(&state_, std::string(PATH_SIZE + 44, 'x').c_str()));
  char buffer[PATH_SIZE + 8];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ERROR_WORD_TOO_LONG, positional_get(state_, 1, buffer));
  EXPECT_EQ('#', buffer[PATH_SIZE]) << "nothing may be written past the PATH_SIZE buffer";
}

#ifndef _WIN32
TEST_F(OptionsParse, SlashWordsThatNameNoOptionArePaths) {
  ASSERT_EQ(0, parse_line("/nopath /e /opt/setup.sh data.qpk /home/me/out"));
  EXPECT_EQ(1, option_is_set(state_, "nopath"));
  EXPECT_EQ("/opt/setup.sh", parameter("e"));
  EXPECT_EQ((std::vector<std::string>{"data.qpk", "/home/me/out"}), positionals());

  // A "/" word that names no option but looks like one (slashes alone, or one
  // name with nothing of that path on disk) is refused; a path of several
  // components or an existing one is a word.
  std::vector<status_case> cases = {
      {"/e /nopath", ERROR_OPTION_MISSING_PARAMETER},
      {"/e -x", ERROR_OPTION_MISSING_PARAMETER},
      {"/", ERROR_INVALID_OPTION},
      {"///", ERROR_INVALID_OPTION},
      {"//nopath", ERROR_INVALID_OPTION},
      {"/NOPATH x", ERROR_INVALID_OPTION},
      {"/nopth", ERROR_INVALID_OPTION},
      {"/nopath:", ERROR_INVALID_OPTION},
      {"/?", ERROR_INVALID_OPTION},
      {"/help", ERROR_INVALID_OPTION},
      {"/tmp", 0},                  // exists: a folder
      {"/no/such/folder", 0},       // several components: a path
      {"/e /no-such-destination", 0},  // a parameter is never refused as an option
      {"-NOPATH", ERROR_INVALID_OPTION},  // "-" words follow the rules unchanged
      {"-opt/x", ERROR_INVALID_OPTION},
  };
  expect_statuses(cases);
}
#endif

TEST_F(OptionsParse, PrefixesCanBeReplaced) {
  options_set_prefixes(&state_, "+");
  ASSERT_EQ(0, parse_line("+nopath -y"));
  EXPECT_EQ(1, option_is_set(state_, "nopath"));
  EXPECT_EQ(0, option_is_set(state_, "y"));
  EXPECT_EQ((std::vector<std::string>{"-y"}), positionals());
}

TEST_F(OptionsParse, TheStoreSurvivesRepeatedInitAndFree) {
  std::string source = "data.qpk";
  ASSERT_EQ(0, positional_add(&state_, source.c_str()));
  source[0] = 'X';
  EXPECT_EQ((std::vector<std::string>{"data.qpk"}), positionals()) << "the list keeps its own copy";

  ASSERT_EQ(0, options_init(&state_));
  EXPECT_EQ(0, positional_count(state_)) << "a second init starts an empty list";
  options_free(&state_);
  options_free(&state_);
  EXPECT_EQ(0, positional_count(state_));
  EXPECT_EQ(-1, positional_add(&state_, "late")) << "no list after options_free";
  char word[PATH_SIZE];
  EXPECT_EQ(ERROR_NO_SUCH_POSITIONAL, positional_get(state_, 0, word));
  ASSERT_EQ(0, options_init(&state_));

  for (int i = 0; i < POSITIONAL_TABLE_SIZE; ++i) ASSERT_EQ(0, positional_add(&state_, "w"));
  EXPECT_EQ(-1, positional_add(&state_, "one too many")) << "a full table must refuse, not overrun";
  EXPECT_EQ(POSITIONAL_TABLE_SIZE, positional_count(state_));
}

TEST_F(OptionsParse, EachStateKeepsItsOwnParse) {
  ASSERT_EQ(0, parse_line("/y data.qpk"));
  option_state other;
  ASSERT_EQ(0, options_init(&other));
  char program[] = "QPK2EXE", option[] = "-n", archive[] = "other.qpk";
  char* argv[] = {program, option, archive};
  EXPECT_EQ(0, options_parse(&other, 3, argv));
  EXPECT_EQ(0, option_is_set(state_, "n")) << "another state's parse must leave this one as it was";
  EXPECT_EQ(0, option_is_set(other, "y"));
  EXPECT_EQ((std::vector<std::string>{"data.qpk"}), positionals());
  EXPECT_EQ(1, positional_count(other));
  options_free(&other);

  ASSERT_EQ(0, options_init(&state_));
  EXPECT_EQ(0, option_is_set(state_, "y")) << "a state started again has no option given";
}

TEST(UsageText, IsTheSixteenDocumentedLines) {
  const std::string pad(32, ' ');
  const std::vector<std::string> expected = {
      "usage: QPK2EXE [options] {QPK file} [EXE file]",
      "/q1\t\tSilent mode (no output)",
      "/q2\t\tQuiet mode (only errors)",
      "/nopath\t\tDon't create subdirectories on extract",
      "/y\t\tAutomatically respond 'Yes' to interaction",
      "/n\t\tAutomatically respond 'No' to interaction",
      "/deleteafter\tDelete extracted files before exiting",
      "/forcedeleteprompt\tForce prompt before deleting (doesn't wait for launched file to exit)",
      "/e [$(Destination)\\]{command}   Execute {command} after extracting",
      pad + "{command} should include 'start' if",
      pad + "you are trying to use file association",
      "/nosplash\t\tNo splash screen when creating self-extractor",
      "/nosplashonextract\t\tNo splash screen when extracting",
      "/nostatus\t\tNo status window",
      "/name {name}\tSets name of self-extractor",
      "/destinationdirectory {path}\tForces extraction to the specified directory",
  };
  std::string text = USAGE_TEXT;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ('\n', text.back()) << "the last line ends in a newline too";
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(expected, lines);
}
