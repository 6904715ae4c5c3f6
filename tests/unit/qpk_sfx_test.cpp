// qpk sfx: the builder's own output, byte for byte, from the same stub,
// archive and options; its refusals, which leave an existing output as it
// was and no temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/build_run.h"
#include "driver/exit_status.h"
#include "foundation/backend.h"
#include "foundation/path.h"
#include "options/options.h"
#include "tests/unit/qpk_support.h"
#include "ui/ui.h"

namespace fs = std::filesystem;

namespace {

// This test program: an executable image with nothing attached, so a stub
// that either side accepts.
std::string own_program() {
  char path[PATH_SIZE] = "";
  EXPECT_TRUE(os_module_path(path, sizeof path));
  return path;
}

// The builder's run in this process, with the stub as its own file: the
// output is "<output>.exe", as the builder names it.
int run_builder(const std::string& stub, std::vector<std::string> words) {
  words.insert(words.begin(), {stub, "/nosplash"});
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  option_state options;
  EXPECT_EQ(0, options_init(&options));
  ui_set_interaction_mode(INTERACTION_SILENT);
  int status = options_parse(&options, static_cast<int>(argv.size()), argv.data());
  if (status == 0) status = build_run(options, static_cast<int>(argv.size()), argv.data());
  options_free(&options);
  return status;
}

command_result run_sfx(const std::string& stub, const std::vector<std::string>& words) {
  std::vector<std::string> line = {"sfx", "--stub", stub};
  line.insert(line.end(), words.begin(), words.end());
  return run_qpk(line);
}

struct payload {
  scratch_dir scratch;
  std::string folder = scratch.path("payload");
  std::string archive = scratch.path("payload.qpk");
  payload() {
    fs::create_directories(folder + "/sub");
    write_file(folder + "/readme.txt", text_of(5000));
    write_file(folder + "/sub/noise.bin", noise_of(70000));
    for (const char* name : {"readme.txt", "sub/noise.bin"}) set_modified(folder + "/" + name, 981173107);
    EXPECT_EQ(0, qpk_create(archive, {folder}, {}, std::cerr));
  }
};

const std::vector<std::vector<std::string>> OPTION_SETS = {
    {},
    {"/q1", "/nopath", "/e", "setup.sh $(Destination)", "/name", "Demo Setup"},
    {"-deleteafter", "-y", "-nostatus", "-destinationdirectory", "C:\\Program Files\\Demo"},
};

}  // namespace

TEST(QpkSfx, WritesTheBuildersBytesFromAnArchiveOrFromFolders) {
  const std::string stub = own_program();
  payload data;
  for (const std::vector<std::string>& options : OPTION_SETS) {
    SCOPED_TRACE(::testing::PrintToString(options));
    std::vector<std::string> words = options;
    words.insert(words.end(), {data.archive, data.scratch.path("built.exe")});
    ASSERT_EQ(EXIT_STATUS_SUCCESS, run_builder(stub, words));
    const std::string built = read_file(data.scratch.path("built.exe"));
    ASSERT_GT(built.size(), read_file(stub).size());

    words.back() = data.scratch.path("from-archive");
    command_result result = run_sfx(stub, words);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_TRUE(read_file(words.back()) == built) << "sfx from the archive must write the builder's bytes";

    // Folders are made into the same archive create makes, then built alike.
    words[words.size() - 2] = data.folder;
    words.back() = data.scratch.path("from-folder");
    result = run_sfx(stub, words);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_TRUE(read_file(words.back()) == built) << "sfx from the folder must write the builder's bytes";
#ifndef _WIN32
    EXPECT_EQ(fs::status(stub).permissions() & fs::perms::owner_exec,
              fs::status(words.back()).permissions() & fs::perms::owner_exec);
#endif
    for (const char* name : {"built.exe", "from-archive", "from-folder"}) fs::remove(data.scratch.path(name));
    EXPECT_EQ((std::vector<std::string>{"payload", "payload.qpk"}), folder_contents(data.scratch.path()))
        << "no temporary archive or output may be left behind";
  }
}

TEST(QpkSfx, OneFileThatIsNoArchiveIsStoredAndAnOutputIsReplaced) {
  payload data;
  const std::string output = data.scratch.path("setup");
  write_file(output, "an older build");
  command_result result = run_sfx(own_program(), {data.folder + "/readme.txt", output});
  ASSERT_EQ(0, result.status) << result.err;
  result = run_qpk({"list", output});
  EXPECT_NE(std::string::npos, result.out.find(" readme.txt\n")) << result.out;
}

TEST(QpkSfx, RefusesWhatTheBuilderRefusesAndStubsThatAreNoBuilder) {
  payload data;
  const std::string stub = own_program();
  const std::string self_extractor = data.scratch.path("setup.exe");
  ASSERT_EQ(0, run_sfx(stub, {data.archive, self_extractor}).status);
  write_file(data.scratch.path("text.txt"), "not a program");
  write_file(data.scratch.path("cut.exe"), read_file(stub) + "bytes past the image");
  write_file(data.scratch.path("damaged.qpk"), text_of(100));
  fs::create_directories(data.scratch.path("empty"));
  const std::string output = data.scratch.path("out.exe");
  const std::string long_name(OPTION_NAME_SIZE, 'n');
  const struct {
    const char* what;
    std::string stub;
    std::vector<std::string> words;
    int status;
    std::string message;
  } cases[] = {
      {"missing stub", data.scratch.path("none"), {data.archive, output}, 1, "no builder program here"},
      {"stub is a self-extractor", self_extractor, {data.archive, output}, 1, "a self-extractor, not a builder"},
      {"stub is an archive", data.archive, {data.archive, output}, 1, "an archive, not a builder program"},
      {"stub is no program", data.scratch.path("text.txt"), {data.archive, output}, 1, "not a builder program"},
      {"stub carries bytes", data.scratch.path("cut.exe"), {data.archive, output}, 1, "past its program image"},
      {"archive is a self-extractor", stub, {self_extractor, output}, 1, "is not a QPK archive"},
      {"damaged archive", stub, {data.scratch.path("damaged.qpk"), output}, 1, "is not a QPK archive"},
      {"missing input", stub, {data.scratch.path("none"), output}, 1, "no such file or folder"},
      {"nothing to store", stub, {data.scratch.path("empty"), output}, 1, "not written"},
      {"unknown option", stub, {"/bogus", data.archive, output}, 2, "ERROR: Invalid option"},
      {"missing parameter", stub, {data.archive, output, "/e"}, 2, "ERROR: Option missing parameter"},
      {"name too long", stub, {"/name", long_name, data.archive, output}, 1, "ERROR: Option too long"},
      {"no output", stub, {data.archive}, 2, "needs an archive"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    write_file(output, "the previous build");
    const std::vector<std::string> before = folder_contents(data.scratch.path());
    command_result result = run_sfx(test.stub, test.words);
    EXPECT_EQ(test.status, result.status);
    EXPECT_NE(std::string::npos, result.err.find(test.message)) << result.err;
    EXPECT_EQ("the previous build", read_file(output)) << "a refused build must keep the existing output";
    EXPECT_EQ(before, folder_contents(data.scratch.path())) << "a refused build must leave nothing behind";
  }
}

TEST(QpkSfx, StubChoicesAreUsageErrorsWhenTheyClash) {
  payload data;
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"sfx", "--windows", "--stub", own_program(), data.archive, data.scratch.path("o")},
           {"sfx", "--stub", own_program(), "--stub", own_program(), data.archive, data.scratch.path("o")},
           {"sfx", "--level", "12", data.folder, data.scratch.path("o")}}) {
    SCOPED_TRACE(::testing::PrintToString(words));
    command_result result = run_qpk(words);
    EXPECT_EQ(2, result.status) << result.err;
    EXPECT_FALSE(path_exists(data.scratch.path("o")));
  }
}

TEST(QpkSfx, UsageListsTheBuilderOptionsTheBlockKeeps) {
  const command_result help = run_qpk({"--help"});
  ASSERT_EQ(0, help.status);
  EXPECT_NE(std::string::npos,
            help.out.find("\n\nsfx takes the builder's options with / or - (/q1 /q2 /nopath /y /n /deleteafter\n"
                          "/forcedeleteprompt /e COMMAND /nosplashonextract /nostatus /name NAME\n"
                          "/destinationdirectory DIR), with the builder's checks and limits. One input\n"
                          "that holds an archive or is named .qpk is the archive itself.\n\nlist shows"))
      << help.out;
}
