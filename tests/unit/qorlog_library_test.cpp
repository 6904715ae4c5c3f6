// The optional log library where the program looks for it: with it present,
// the program's log messages arrive in its file as one line each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "foundation/backend.h"
#include "foundation/foundation.h"
#include "foundation/log.h"
#include "tests/unit/test_util.h"

namespace {

#ifdef _WIN32
constexpr const char* LIBRARY_NAME = "QORLOG32.DLL";
constexpr const char* TEMP_VARIABLE = "TMP";
void set_variable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
// The program takes the library only from the folder QORLOG32_DIR names:
// here the test program's own, where the build puts the library.
void name_library_folder() {
  char program[1024];
  ASSERT_TRUE(os_module_path(program, sizeof program));
  std::string folder = program;
  set_variable("QORLOG32_DIR", folder.substr(0, folder.find_last_of("\\/")));
}
#else
constexpr const char* LIBRARY_NAME = "libqorlog32.so";
constexpr const char* TEMP_VARIABLE = "TMPDIR";
void set_variable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
void name_library_folder() {}  // the test sets the library search path
#endif

// The file's lines without their line ends.
std::vector<std::string> lines_of(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = read_file(path);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

const std::regex STAMPED_LINE(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z) (.*))");

// The part of a line after its UTC time stamp; the line itself when it has no
// well-formed stamp, so that a comparison fails and shows it.
std::string after_stamp(const std::string& line) {
  std::smatch match;
  return std::regex_match(line, match, STAMPED_LINE) ? match[2].str() : "no time stamp: " + line;
}

// Loads the library by its name: the system finds it beside the test program
// on Win32, through the library search path (which the test sets) on POSIX.
struct loaded_library {
  loaded_library() : handle(os_library_load(LIBRARY_NAME)) {
    if (handle != nullptr) entry = reinterpret_cast<os_log_entry>(os_library_symbol(handle, "QORLOG32_LogAddComment"));
  }
  ~loaded_library() {
    if (handle != nullptr) os_library_free(handle);
  }
  void* handle;
  os_log_entry entry = nullptr;
};

}  // namespace

TEST(QorlogLibrary, TheProgramsLogLinesArrive) {
  scratch_dir dir;
  const std::string log_path = dir.path("program.log");
  set_variable("QORLOG32_FILE", log_path);
  name_library_folder();

  const uint32_t pool_size = 1000000;
  ASSERT_GE(foundation_init(&pool_size), 0);
  EXPECT_TRUE(log_enabled()) << "the log library beside the program must be found and used";
  LOG_MESSAGE(LOG_INFO, "Starting...");
  LOG_MESSAGE(LOG_ERROR, "Unable to open %s (%d)", "data.qpk", -2);
  foundation_term();
  LOG_MESSAGE(LOG_INFO, "after shut-down");

  std::vector<std::string> lines = lines_of(log_path);
  ASSERT_EQ(2u, lines.size()) << "one line per message while the log is open, none after shut-down";
  EXPECT_EQ("INFO QPK2EXE Starting...", after_stamp(lines[0]));
  EXPECT_EQ("ERROR QPK2EXE Unable to open data.qpk (-2)", after_stamp(lines[1]));
}

TEST(QorlogLibrary, EveryCallMakesOneLine) {
  loaded_library library;
  ASSERT_NE(nullptr, library.entry) << "the entry must be exported under its plain name";
  scratch_dir dir;
  const std::string log_path = dir.path("calls.log");
  set_variable("QORLOG32_FILE", log_path);

  struct {
    int level;
    const char* module;
    const char* text;
    const char* recorded;
  } cases[] = {
      {0, "QPK2EXE", "Starting...", "INFO QPK2EXE Starting..."},
      {3, "QPK2EXE", "Unable to extract files", "ERROR QPK2EXE Unable to extract files"},
      {7, "OTHER", "odd level", "7 OTHER odd level"},
      {0, nullptr, nullptr, "INFO - "},
      {0, "QPK2EXE", "", "INFO QPK2EXE "},
      {0, "QPK2EXE", "first\r\nsecond\r\n", "INFO QPK2EXE first  second"},
  };
  uint32_t site = 0x5a5a;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recorded);
    EXPECT_EQ(0, library.entry(c.level, c.module, &site, c.text));
  }
  EXPECT_EQ(0x5a5au, site) << "the call-site word belongs to the caller";

  std::vector<std::string> lines = lines_of(log_path);
  ASSERT_EQ(std::size(cases), lines.size()) << "a text with line breaks must still make one line";
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(cases[i].recorded, after_stamp(lines[i]));

  const std::string earlier = read_file(log_path);
  EXPECT_EQ(0, library.entry(0, "QPK2EXE", &site, "appended"));
  EXPECT_EQ(earlier, read_file(log_path).substr(0, earlier.size())) << "earlier lines must be kept";
}

TEST(QorlogLibrary, FileChoiceAndFailures) {
  loaded_library library;
  ASSERT_NE(nullptr, library.entry);
  scratch_dir dir;
  uint32_t site = 0;

  // Without QORLOG32_FILE the log goes to the temporary folder.
  set_variable("QORLOG32_FILE", "");
  set_variable(TEMP_VARIABLE, dir.path(""));
  EXPECT_EQ(0, library.entry(0, "QPK2EXE", &site, "to the temporary folder"));
  ASSERT_TRUE(path_exists(dir.path("QORLOG32.LOG"))) << "the default log is QORLOG32.LOG in the temporary folder";
  EXPECT_EQ("INFO QPK2EXE to the temporary folder", after_stamp(lines_of(dir.path("QORLOG32.LOG")).at(0)));

  // A folder in place of the file cannot take a line: the entry says so.
  set_variable("QORLOG32_FILE", dir.path(""));
  EXPECT_EQ(-1, library.entry(0, "QPK2EXE", &site, "nowhere")) << "a failed write must not count as logged";
}
