// The diagnostic log and the debug print, observed through a stand-in for the
// log library's entry and a sink in place of the debugger output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation_test_support.h"
#include "test_util.h"

namespace {

struct log_call {
  int level;
  std::string module;
  uint32_t* site;
  std::string text;
};
std::vector<log_call> log_calls;
std::vector<std::string> debug_texts;

int QORLOG_CALL record_entry(int level, const char* module, uint32_t* site, const char* text) {
  log_calls.push_back({level, module, site, text});
  return 0;
}

void record_debug(const char* text) { debug_texts.push_back(text); }

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_foundation();
    log_calls.clear();
    debug_texts.clear();
    log_set_entry(record_entry);
    log_set_debug_sink(record_debug);
  }
  void TearDown() override { reset_foundation(); }
};

TEST_F(LogTest, NothingIsHandedOnWhileTheLogIsOff) {
  uint32_t site = 0;
  log_message(LOG_INFO, "QPK2EXE", &site, "progress %d", 1);
  EXPECT_TRUE(log_calls.empty()) << "a log that is off must not reach the library";

  log_set_enabled(true);
  log_close();
  EXPECT_FALSE(log_enabled()) << "log_close turns the log off";
  log_message(LOG_ERROR, "QPK2EXE", &site, "after close");
  EXPECT_TRUE(log_calls.empty());
}

TEST_F(LogTest, TheLibraryReceivesTheFourPartsUnchanged) {
  log_set_enabled(true);
  uint32_t site = 0;
  log_message(LOG_ERROR, "QPK2EXE", &site, "Error (%d): %s", -11, "short read");
  log_message(LOG_INFO, "QPK2EXE", &site, nullptr);
  std::string long_text(1500, 'x');
  log_message(LOG_INFO, "QPK2EXE", &site, "%s", long_text.c_str());
  ASSERT_EQ(3u, log_calls.size());
  EXPECT_EQ(LOG_ERROR, log_calls[0].level);
  EXPECT_EQ("QPK2EXE", log_calls[0].module);
  EXPECT_EQ(&site, log_calls[0].site);
  EXPECT_EQ("Error (-11): short read", log_calls[0].text) << "no prefix or time stamp is added";
  EXPECT_EQ("", log_calls[1].text) << "a null format sends an empty text";
  EXPECT_EQ(std::string(LOG_TEXT_SIZE - 1, 'x'), log_calls[2].text) << "the text is cut at the 1024-byte limit";
  EXPECT_EQ(0u, site) << "the call-site word is never touched";
}

TEST_F(LogTest, EveryCallSiteHasAWordOfItsOwn) {
  log_set_enabled(true);
  for (int i = 0; i < 2; ++i) LOG_MESSAGE(LOG_INFO, "loop %d", i);
  LOG_MESSAGE(LOG_ERROR, "elsewhere");
  ASSERT_EQ(3u, log_calls.size());
  EXPECT_EQ(log_calls[0].site, log_calls[1].site) << "one call site, one word";
  EXPECT_NE(log_calls[0].site, log_calls[2].site) << "two call sites never share a word";
  EXPECT_EQ("QPK2EXE", log_calls[2].module);
  EXPECT_EQ("loop 1", log_calls[1].text);
}

TEST_F(LogTest, OpenRecordsItsCloseHookBeforeLoadingAnything) {
  int status = log_open();
  EXPECT_TRUE(status == 0 || status == ERROR_LOG_UNAVAILABLE) << status;
  ASSERT_EQ(1, hook_count()) << "the hook is recorded whether or not the library is there";
  EXPECT_EQ(&log_close, module_hook_slots()[0].hook);
  EXPECT_EQ(HOOK_TERMINATE, module_hook_slots()[0].flags);
  log_close();
  EXPECT_EQ(0, hook_count()) << "log_close removes its own hook";
}

#ifndef _WIN32
// POSIX loads no library: the program appends the lines itself to the file
// QORLOG32_FILE names, one line per message, and logs nothing without it.
TEST_F(LogTest, PosixWritesOneLinePerMessageToTheNamedFile) {
  scratch_dir dir;
  const std::string log = dir.path("log.txt");
  unsetenv("QORLOG32_FILE");
  EXPECT_EQ(ERROR_LOG_UNAVAILABLE, log_open()) << "without QORLOG32_FILE there is no log";
  log_close();

  setenv("QORLOG32_FILE", log.c_str(), 1);
  ASSERT_EQ(0, log_open());
  log_set_enabled(true);
  struct {
    int level;
    const char* text;
    std::string expected;  // what follows the time stamp
  } cases[] = {
      {LOG_INFO, "Starting...", "INFO QPK2EXE Starting..."},
      {LOG_ERROR, "two\nlines\r\n", "ERROR QPK2EXE two lines"},
      {5, "", "5 QPK2EXE "},
  };
  for (const auto& c : cases) LOG_MESSAGE(c.level, "%s", c.text);
  LOG_MESSAGE(LOG_INFO, "%s", std::string(1500, 'x').c_str());
  log_close();
  unsetenv("QORLOG32_FILE");

  std::istringstream lines(read_file(log));
  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (.*))");
  std::string line;
  std::smatch parts;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_TRUE(std::regex_match(line, parts, stamp)) << line;
    EXPECT_EQ(c.expected, parts[1].str());
  }
  ASSERT_TRUE(std::getline(lines, line)) << "an over-long text still makes a whole line";
  EXPECT_EQ(std::string(LOG_TEXT_SIZE - 1, 'x'), line.substr(line.size() - (LOG_TEXT_SIZE - 1)));
  EXPECT_FALSE(std::getline(lines, line)) << "one line per message";
}
#endif

TEST_F(LogTest, DprintfCutsOverLongTextsAfterAWarning) {
  const std::string warning = "String too long for dprintf().  This will probably GPF.";
  struct {
    size_t length;
    bool warned;
    size_t sent;
  } cases[] = {{0, false, 0}, {511, false, 511}, {512, true, 511}, {600, true, 511}, {5000, true, 511}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    debug_texts.clear();
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(static_cast<int>(c.sent), dprintf("%s", text.c_str()));
    std::vector<std::string> expected;
    if (c.warned) expected.push_back(warning);
    expected.push_back(text.substr(0, c.sent));
    EXPECT_EQ(expected, debug_texts);
  }
  debug_texts.clear();
  EXPECT_EQ(21, dprintf("Delete: [%s] ...\r\n", "a.txt"));
  EXPECT_EQ((std::vector<std::string>{"Delete: [a.txt] ...\r\n"}), debug_texts)
      << "dprintf works with the log off";
}

}  // namespace
