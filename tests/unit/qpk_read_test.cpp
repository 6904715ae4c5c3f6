// qpk list, test and info on good archives, self-extractors and damaged
// files, and the command line itself.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/layout.h"
#include "tests/unit/qpk_support.h"

namespace {

constexpr int64_t SAMPLE_TIME = 981173107;  // 2001-02-03 04:05:07 UTC

// An archive of a deflated text, a stored noise file and a read-only note.
struct sample_archive {
  scratch_dir scratch;
  std::string path = scratch.path("sample.qpk");
  sample_archive() {
    write_file(scratch.path("text.txt"), text_of(100000));
    write_file(scratch.path("noise.bin"), noise_of(3000));
    write_file(scratch.path("note.txt"), "note");
    for (const char* name : {"text.txt", "noise.bin", "note.txt"}) set_modified(scratch.path(name), SAMPLE_TIME);
    make_read_only(scratch.path("note.txt"));
    EXPECT_EQ(0, qpk_create(path, {scratch.path("text.txt"), scratch.path("noise.bin"), scratch.path("note.txt")},
                            {}, std::cerr));
  }
  std::string bytes() const { return read_file(path); }
};

constexpr size_t FIRST_HEADER = 32;
constexpr size_t FIRST_DATA = FIRST_HEADER + 146;

void put_u32(std::string* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

std::string self_extractor(const std::string& archive, const option_block& block, size_t stub_size) {
  std::string stub(stub_size, 'S');
  stub[0] = 'M';
  stub[1] = 'Z';
  std::string file = stub + std::string(reinterpret_cast<const char*>(&block), sizeof block) + archive;
  std::string trailer(4, '\0');
  put_u32(&trailer, 0, static_cast<uint32_t>(stub_size + sizeof block));
  return file + trailer;
}

option_block sample_options() {
  option_block block{};
  std::snprintf(block.signature, sizeof block.signature, "%s", OPTION_SIGNATURE);
  block.flags = SEF_USE_PATHS | SEF_AUTO_YES | SEF_DELETE_AFTER;
  std::snprintf(block.command, sizeof block.command, "%s", "$(Destination)\\setup.exe /s");
  std::memset(block.name, 'N', sizeof block.name);  // no terminating zero
  std::snprintf(block.destination, sizeof block.destination, "%s", "C:\\dest\x1b[2J");
  return block;
}

}  // namespace

TEST(QpkRead, ListShowsEveryEntryOnItsOwnLine) {
  sample_archive sample;
  command_result result = run_qpk({"list", sample.path});
  ASSERT_EQ(0, result.status) << result.err;
  std::istringstream lines(result.out);
  std::string header, text, noise, note, totals, extra;
  std::getline(lines, header);
  std::getline(lines, text);
  std::getline(lines, noise);
  std::getline(lines, note);
  std::getline(lines, totals);
  EXPECT_FALSE(std::getline(lines, extra)) << "one line per entry after the column titles, then the totals";
  uint32_t stored = 0;
  for (const read_entry& entry : read_archive_bytes(sample.bytes())) stored += entry.stored;
  char expected_totals[64];
  std::snprintf(expected_totals, sizeof expected_totals, "%10u %10u  3 files", 103004u, stored);
  EXPECT_EQ(expected_totals, totals) << "files, their bytes and the bytes they take in the archive";
  const struct {
    const std::string& line;
    std::vector<std::string> parts;
  } expected[] = {
      {text, {" 100000 ", " deflated ", " 2001-02-03 04:05:06 ", "  text.txt"}},
      {noise, {"   3000       3011  deflated ", " 2001-02-03 04:05:06 ", "  noise.bin"}},
      {note, {"      4 ", " deflated ", "04:05:06  R", "  note.txt"}},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.line);
    for (const std::string& part : e.parts) EXPECT_NE(std::string::npos, e.line.find(part)) << part;
  }
}

TEST(QpkRead, TestPassesAGoodArchiveAndCountsItsEntries) {
  sample_archive sample;
  command_result result = run_qpk({"test", sample.path});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("OK 3 entries\n", result.out) << "every entry qpk create writes carries a checksum";
}

TEST(QpkRead, DamageIsReportedNeverPassed) {
  sample_archive sample;
  const std::string good = sample.bytes();
  std::vector<read_entry> entries = read_archive_bytes(good);
  ASSERT_EQ(3u, entries.size());
  const size_t second_header = FIRST_DATA + entries[0].stored;
  struct damage_case {
    const char* what;
    std::string bytes;
    int list_status;  // list reads the walk only: no entry check, no data
    const char* message;
  };
  std::string flipped = good;
  flipped[FIRST_DATA + entries[0].stored / 2] ^= 0x10;
  std::string flipped_noise = good;
  flipped_noise[second_header + 146 + entries[1].stored / 2] ^= 0x10;
  std::string cut_in_data = good.substr(0, second_header + 146 + 100);
  std::string cut_in_header = good.substr(0, good.size() - 100);
  std::string huge_stored = good;
  put_u32(&huge_stored, second_header + 138, 0x7FFFFFF0);
  std::string wrapping_stored = good;
  put_u32(&wrapping_stored, second_header + 138, 0xFFFFFFF0);
  std::string unknown_method = good;
  unknown_method[second_header + 132] = 7;
  std::string long_content = good;
  put_u32(&long_content, FIRST_HEADER + 134, entries[0].size + 1);
  std::string unterminated = good;
  std::memset(&unterminated[second_header], 'x', 128);
  std::string escaping = good;
  std::memcpy(&escaping[second_header], "..\\x", 5);
  std::string stray = good + "junk";
  std::string not_archive = "this is not an archive at all, though long enough to hold a signature field";
  const damage_case cases[] = {
      {"a flipped byte inside a deflated stream", flipped, 0, "text.txt"},
      {"a flipped byte in data that did not compress", flipped_noise, 0, "noise.bin"},
      {"a file cut inside an entry's data", cut_in_data, 1, "runs past the end"},
      {"a file cut inside a header", cut_in_header, 1, "bytes too few for an entry header"},
      {"stored size past the end", huge_stored, 1, "runs past the end"},
      {"stored size that wraps around", wrapping_stored, 1, "runs past the end"},
      {"an unknown method", unknown_method, 0, "the method is unknown"},
      {"a size the data does not have", long_content, 0, "text.txt"},
      {"a name without its zero", unterminated, 0, "no terminating zero"},
      {"a name that leaves the destination", escaping, 0, "'..'"},
      {"bytes after the last entry", stray, 1, "bytes too few for an entry header"},
      {"not an archive", not_archive, 1, "not an archive"},
  };
  for (const damage_case& c : cases) {
    SCOPED_TRACE(c.what);
    write_file(sample.path, c.bytes);
    command_result test = run_qpk({"test", sample.path});
    EXPECT_EQ(1, test.status) << "test must not pass a damaged archive: " << test.out;
    EXPECT_NE(std::string::npos, test.err.find(c.message)) << test.err;
    EXPECT_EQ("", test.out) << "no OK line for a damaged archive";
    command_result list = run_qpk({"list", sample.path});
    EXPECT_EQ(c.list_status, list.status) << list.err;
  }
}

TEST(QpkRead, SelfExtractorsAreListedTestedAndDescribed) {
  sample_archive sample;
  std::string sfx_path = sample.scratch.path("setup.exe");
  write_file(sfx_path, self_extractor(sample.bytes(), sample_options(), 1000));

  command_result list = run_qpk({"list", sfx_path});
  EXPECT_EQ(0, list.status) << list.err;
  EXPECT_NE(std::string::npos, list.out.find("note.txt"));
  command_result test = run_qpk({"test", sfx_path});
  EXPECT_EQ(0, test.status) << test.err;
  EXPECT_EQ("OK 3 entries\n", test.out) << "the trailer is not an entry";

  command_result info = run_qpk({"info", sfx_path});
  ASSERT_EQ(0, info.status) << info.err;
  const std::string expected[] = {
      "Archive offset: 1324\n",
      "0x029 use-paths auto-yes delete-after\n",
      "\"$(Destination)\\setup.exe /s\"\n",
      std::string(1, '"').append(32, 'N').append("\" (no terminating zero)\n"),
      "\"C:\\dest\\x1B[2J\"\n",
  };
  for (const std::string& line : expected) EXPECT_NE(std::string::npos, info.out.find(line)) << line << " in\n" << info.out;
}

TEST(QpkRead, InfoExplainsWhatIsNotASelfExtractor) {
  sample_archive sample;
  option_block damaged = sample_options();
  damaged.signature[0] = 'X';
  std::string bad_block = sample.scratch.path("bad-block.exe");
  write_file(bad_block, self_extractor(sample.bytes(), damaged, 1000));
  std::string program = sample.scratch.path("program.exe");
  write_file(program, std::string(5000, 'P'));
  const struct {
    const char* what;
    std::string path;
    const char* message;
  } cases[] = {
      {"a plain archive", sample.path, "plain archive"},
      {"a damaged option block", bad_block, "option block"},
      {"a program with no archive", program, "not an archive"},
      {"a missing file", sample.scratch.path("missing.exe"), "no such file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    command_result info = run_qpk({"info", c.path});
    EXPECT_EQ(1, info.status);
    EXPECT_NE(std::string::npos, info.err.find(c.message)) << info.err;
  }
}

TEST(QpkRead, CommandLineMistakesAreUsageErrors) {
  scratch_dir scratch;
  write_file(scratch.path("a.txt"), "alpha");
  const struct {
    std::vector<std::string> words;
    int status;
  } cases[] = {
      {{}, 2},
      {{"frobnicate"}, 2},
      {{"list"}, 2},
      {{"list", "a", "b"}, 2},
      {{"create", scratch.path("x.qpk")}, 2},
      {{"create", "--level", "10", scratch.path("x.qpk"), scratch.path("a.txt")}, 2},
      {{"create", "--level=x", scratch.path("x.qpk"), scratch.path("a.txt")}, 2},
      {{"create", "-j", "0", scratch.path("x.qpk"), scratch.path("a.txt")}, 2},
      {{"create", "--fast", scratch.path("x.qpk"), scratch.path("a.txt")}, 2},
      {{"create", scratch.path("x.qpk"), scratch.path("a.txt"), "--exclude"}, 2},
      {{"create", "--exclude=", scratch.path("x.qpk"), scratch.path("a.txt")}, 2},
      {{"--version", "list"}, 2},
      {{"--version"}, 0},
      {{"--help"}, 0},
      {{"create", "--help"}, 0},
      {{"create", "-j2", "--level=1", "--store", scratch.path("x.qpk"), scratch.path("a.txt")}, 0},
      {{"create", "--", scratch.path("y.qpk"), scratch.path("a.txt")}, 0},
      {{"create", "--exclude", "*.o", "--exclude=b", scratch.path("z.qpk"), scratch.path("a.txt")}, 0},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& word : c.words) line += word + " ";
    SCOPED_TRACE(line);
    command_result result = run_qpk(c.words);
    EXPECT_EQ(c.status, result.status) << result.err;
    if (c.status == 2) {
      EXPECT_NE(std::string::npos, result.err.find("Usage: qpk")) << "a usage error shows the usage";
    }
    if (c.status == 0 && c.words.back() == "--help") {
      EXPECT_NE(std::string::npos, result.out.find("Usage: qpk"));
    }
    if (c.status == 0 && c.words.back() == "--version") {
      EXPECT_TRUE(result.out.starts_with("qpk ") && result.out.find('\n') == result.out.size() - 1) << result.out;
    }
  }
  EXPECT_TRUE(path_exists(scratch.path("x.qpk")));
  EXPECT_TRUE(path_exists(scratch.path("y.qpk")));
  EXPECT_TRUE(path_exists(scratch.path("z.qpk")));
}
