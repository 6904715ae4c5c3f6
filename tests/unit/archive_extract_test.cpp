// Entry extraction as a caller sees it: files, directories, events and
// answers, overwrite and cancel, times and attributes, and the refusals of
// damaged or unsafe entries.
#include <chrono>
#include <filesystem>

#include "archive/entry_target.h"
#include "archive/extract.h"
#include "archive/free_space.h"
#include "archive/layout.h"
#include "archive_fixture.h"
#include "foundation/failure.h"
#include "foundation/file.h"
#include "foundation/path.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Writes the archive into the scratch folder, opens it and extracts it to
// "out" (or the destination given).
int extract(const scratch_dir& dir, const std::string& archive, int use_paths = 1,
            std::vector<scripted_answer> answers = {}, const char* pattern = "*.*", std::string destination = "") {
  write_file(dir.path("a.qpk"), archive);
  EXPECT_EQ(0, archive_open(dir.path("a.qpk").c_str(), ARCHIVE_OPEN_READ));
  start_recording(std::move(answers));
  if (destination.empty()) destination = dir.path("out");
  int status = archive_extract(pattern, destination.c_str(), use_paths);
  archive_close();
  stop_recording();
  return status;
}

std::vector<std::string> texts_of(unsigned event) {
  std::vector<std::string> texts;
  for (const recorded_event& seen : events_of(event)) texts.push_back(seen.text);
  return texts;
}

bool exists_anywhere(const scratch_dir& dir, const std::string& file_name) {
  for (const auto& item : fs::recursive_directory_iterator(dir.path()))
    if (item.path().filename() == file_name) return true;
  return false;
}

// Tests with deflated entries run once per inflate codec.
class ArchiveExtractByCodec : public inflate_codec_test {};
INSTANTIATE_FOR_EACH_INFLATE_CODEC(ArchiveExtractByCodec);

TEST_P(ArchiveExtractByCodec, KeepsOrDropsPathsAndReportsWhatItCreates) {
  scratch_dir dir;
  std::string big = text_of(150000);
  std::string archive = make_archive({stored("a\\b\\x.txt", "alpha"), deflated("a\\y.txt", big), stored("top.txt", "")});
  ASSERT_EQ(0, extract(dir, archive, 1));
  EXPECT_EQ("alpha", read_file(dir.path("out/a/b/x.txt")));
  EXPECT_TRUE(big == read_file(dir.path("out/a/y.txt"))) << "a deflated entry of three streams";
  EXPECT_TRUE(path_exists(dir.path("out/top.txt")));
  std::vector<std::string> directories = {dir.path("out"), dir.path("out/a"), dir.path("out/a/b")};
  EXPECT_EQ(directories, texts_of(EVENT_DIRECTORY_CREATED)) << "each new level once, outermost first";
  std::vector<std::string> files = {dir.path("out/a/b/x.txt"), dir.path("out/a/y.txt"), dir.path("out/top.txt")};
  EXPECT_EQ(files, texts_of(EVENT_FILE_CREATED));
  EXPECT_EQ(files, texts_of(EVENT_EXTRACTING));
  std::vector<unsigned> order;
  for (const recorded_event& seen : recorded_events)
    if (seen.event != RECORDED_PROGRESS) order.push_back(seen.event);
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(EVENT_DIRECTORY_CREATED, order[2]) << "directories come before the entry's extraction";
  EXPECT_EQ(EVENT_EXTRACTING, order[3]);

  scratch_dir flat;
  fs::create_directory(flat.path("out"));
  ASSERT_EQ(0, extract(flat, archive, 0));
  EXPECT_EQ("alpha", read_file(flat.path("out/x.txt")));
  EXPECT_TRUE(big == read_file(flat.path("out/y.txt")));
  EXPECT_FALSE(path_exists(flat.path("out/a"))) << "without paths no directory is made";
  EXPECT_TRUE(texts_of(EVENT_DIRECTORY_CREATED).empty());
}

TEST(ArchiveExtract, EveryDirectoryOfEveryEntryIsMadeOnceAndAgainOnTheNextRun) {
  scratch_dir dir;
  // "a\b" is the start of "a\bc" as text but not as a folder; "b" comes back
  // after other folders.
  std::string archive = make_archive({stored("a\\bc\\z", "1"), stored("a\\b\\x", "2"), stored("a\\b\\y", "3"),
                                      stored("a\\w", "4"), stored("b\\v", "5"), stored("a\\b\\d\\u", "6")});
  std::vector<std::string> directories = {dir.path("out"),     dir.path("out/a"), dir.path("out/a/bc"),
                                          dir.path("out/a/b"), dir.path("out/b"), dir.path("out/a/b/d")};
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_EQ(0, extract(dir, archive, 1));
    EXPECT_EQ(directories, texts_of(EVENT_DIRECTORY_CREATED));
    EXPECT_EQ("2", read_file(dir.path("out/a/b/x")));
    EXPECT_EQ("6", read_file(dir.path("out/a/b/d/u")));
    // The next extraction must look at the disk again, not at what this one made.
    fs::remove_all(dir.path("out"));
  }
}

TEST(ArchiveExtract, MissingDestinationIsCreatedOnlyWithPaths) {
  scratch_dir dir;
  std::string archive = make_archive({stored("x.txt", "x")});
  EXPECT_EQ(ERROR_FILE_OPEN, extract(dir, archive, 0, {}, "*.*", dir.path("new/level")));
  EXPECT_EQ(0, extract(dir, archive, 1, {}, "*.*", dir.path("new/level")));
  EXPECT_EQ("x", read_file(dir.path("new/level/x.txt")));
  std::vector<std::string> directories = {dir.path("new"), dir.path("new/level")};
  EXPECT_EQ(directories, texts_of(EVENT_DIRECTORY_CREATED));
}

TEST(ArchiveExtract, OverwriteAnswersDecideEachExistingTarget) {
  struct {
    const char* what;
    int answer;
    int status;
    std::string first;
    bool second_written;
  } cases[] = {
      {"yes overwrites", 1, 0, "new", true},
      {"no skips and goes on", 0, 0, "old", true},
      {"cancel stops at once", ERROR_CANCELLED, ERROR_CANCELLED, "old", false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    scratch_dir dir;
    fs::create_directory(dir.path("out"));
    write_file(dir.path("out/x.txt"), "old");
    int status = extract(dir, make_archive({stored("a\\x.txt", "new"), stored("y.txt", "why")}), 0,
                         {{EVENT_OVERWRITE_QUERY, 1, test.answer}});
    EXPECT_EQ(test.status, status);
    EXPECT_EQ(test.first, read_file(dir.path("out/x.txt")));
    EXPECT_EQ(test.second_written, path_exists(dir.path("out/y.txt")));
    EXPECT_EQ(std::vector<std::string>{dir.path("out/x.txt")}, texts_of(EVENT_OVERWRITE_QUERY));
    bool asked_to_extract_first = !texts_of(EVENT_EXTRACTING).empty() && texts_of(EVENT_EXTRACTING)[0] == dir.path("out/x.txt");
    EXPECT_EQ(test.answer == 1, asked_to_extract_first) << "a skipped or cancelled entry is not extracted";
  }
}

TEST(ArchiveExtract, ReadOnlyAndLongerTargetsAreReplacedExactly) {
  scratch_dir dir;
  fs::create_directory(dir.path("out"));
  write_file(dir.path("out/ro.txt"), "read-only old content that is longer");
  ASSERT_TRUE(os_set_attributes(dir.path("out/ro.txt").c_str(), OS_ATTR_READONLY));
  write_file(dir.path("out/long.txt"), std::string(5000, 'L'));
  test_entry hidden = stored("long.txt", "short");
  hidden.attributes = ENTRY_ATTR_ARCHIVE;
  ASSERT_EQ(0, extract(dir, make_archive({stored("ro.txt", "fresh"), hidden}), 1, {{EVENT_OVERWRITE_QUERY, 1, 1}}));
  EXPECT_EQ("fresh", read_file(dir.path("out/ro.txt")));
  EXPECT_EQ("short", read_file(dir.path("out/long.txt"))) << "an older, longer file must lose its tail";
  // Wine reports every plain file with the archive bit, whatever was set.
  const uint32_t never_set = OS_ATTR_READONLY | OS_ATTR_HIDDEN | OS_ATTR_SYSTEM;
  EXPECT_EQ(0u, os_get_attributes(dir.path("out/ro.txt").c_str()) & never_set)
      << "a read-only target ends with exactly the entry's attributes (none)";
#ifdef _WIN32
  const uint32_t kept_bits = OS_ATTR_READONLY | OS_ATTR_HIDDEN | OS_ATTR_SYSTEM | OS_ATTR_ARCHIVE;
  EXPECT_EQ(OS_ATTR_ARCHIVE, os_get_attributes(dir.path("out/long.txt").c_str()) & kept_bits);
#endif
}

TEST(ArchiveExtract, CancelStopsOnlyDuringQuestionsThatAreLookedAt) {
  std::string archive = make_archive({stored("one.txt", "1"), stored("two.txt", "2"), stored("three.txt", "3")});
  {
    SCOPED_TRACE("cancel while the second entry's extraction is announced");
    scratch_dir dir;
    EXPECT_EQ(ERROR_CANCELLED, extract(dir, archive, 1, {{EVENT_EXTRACTING, 2, ERROR_CANCELLED}}));
    EXPECT_EQ("1", read_file(dir.path("out/one.txt"))) << "files already written stay";
    EXPECT_FALSE(path_exists(dir.path("out/two.txt"))) << "the target of the cancelled event must not be opened";
    EXPECT_FALSE(path_exists(dir.path("out/three.txt")));
  }
  {
    SCOPED_TRACE("cancel while a created file or directory is reported");
    scratch_dir dir;
    EXPECT_EQ(0, extract(dir, archive, 1,
                         {{EVENT_FILE_CREATED, 1, ERROR_CANCELLED}, {EVENT_DIRECTORY_CREATED, 1, ERROR_CANCELLED}}));
    EXPECT_EQ("3", read_file(dir.path("out/three.txt"))) << "answers to reports do not stop the walk";
  }
}

// The progress reports: the totals of the matching entries first, then one
// report after each entry, skipped ones counted as done but not written; a
// negative answer to a report cancels the rest.
TEST(ArchiveExtract, ReportsProgressOverTheMatchingEntries) {
  scratch_dir dir;
  const std::string archive = make_archive({stored("a.txt", "alpha"), stored("b.bin", "bb"), stored("c.txt", "gamma!")});
  fs::create_directory(dir.path("out"));
  write_file(dir.path("out/c.txt"), "kept");
  ASSERT_EQ(0, extract(dir, archive, 1, {{EVENT_OVERWRITE_QUERY, 1, 0}}, "*.txt"));
  std::vector<std::string> expected = {"0 2 0 0 11", "1 2 1 5 11", "2 2 1 11 11"};
  EXPECT_EQ(expected, texts_of(RECORDED_PROGRESS)) << "files done, total, written; bytes done, total";
  EXPECT_EQ("kept", read_file(dir.path("out/c.txt")));

  scratch_dir cancelled;
  EXPECT_EQ(ERROR_CANCELLED, extract(cancelled, archive, 1, {{RECORDED_PROGRESS, 2, ERROR_CANCELLED}}));
  EXPECT_TRUE(path_exists(cancelled.path("out/a.txt")));
  EXPECT_FALSE(path_exists(cancelled.path("out/b.bin"))) << "nothing is written after a cancelled report";
}

TEST(ArchiveExtract, SelectionMustMatchSomething) {
  scratch_dir dir;
  EXPECT_EQ(ERROR_NO_MATCH, extract(dir, make_archive({}), 1)) << "an archive without entries matches nothing";
  EXPECT_EQ(ERROR_NO_MATCH, extract(dir, make_archive({stored("a.txt", "a")}), 1, {}, "*.bin"));
  EXPECT_EQ(0, extract(dir, make_archive({stored("a.txt", "a"), stored("b.bin", "b")}), 1, {}, "*.bin"));
  EXPECT_TRUE(path_exists(dir.path("out/b.bin")));
  EXPECT_FALSE(path_exists(dir.path("out/a.txt"))) << "entries that do not match are not written";
  std::string archive = make_archive({stored("a.txt", "a")}) + std::string(100, 'J');
  EXPECT_EQ(ERROR_ENTRY_DATA, extract(dir, archive, 1, {{EVENT_OVERWRITE_QUERY, 1, 1}}))
      << "bytes too few for a header after the last entry are a cut archive, not its end";
}

TEST(ArchiveExtract, EntryTimeIsTheDosFieldsTakenAsUtc) {
  scratch_dir dir;
  test_entry entry = stored("t.txt", "time");
  entry.dos_date = (44 << 9) | (3 << 5) | 15;     // 2024-03-15
  entry.dos_time = (13 << 11) | (45 << 5) | 10;  // 13:45:20
  ASSERT_EQ(0, extract(dir, make_archive({entry}), 1));
  // 2024-03-15 is day 19797 after 1970-01-01.
  const int64_t expected = 19797LL * 86400 + 13 * 3600 + 45 * 60 + 20;
  auto written = std::chrono::file_clock::to_sys(fs::last_write_time(dir.path("out/t.txt")));
  EXPECT_EQ(expected, std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count())
      << "the fields are UTC, with no local-time step";
}

#ifndef _WIN32
TEST(ArchiveExtract, ExecuteBitGivesAnExecutableFile) {
  scratch_dir dir;
  test_entry script = stored("run.sh", "#!/bin/sh\n");
  script.attributes = ENTRY_ATTR_EXECUTE;
  ASSERT_EQ(0, extract(dir, make_archive({script, stored("plain.txt", "p")}), 1));
  EXPECT_NE(fs::perms::none, fs::status(dir.path("out/run.sh")).permissions() & fs::perms::owner_exec);
  EXPECT_EQ(fs::perms::none, fs::status(dir.path("out/plain.txt")).permissions() & fs::perms::owner_exec);
}

// /dev/shm is a memory file system that nothing else here writes to, so its
// free space holds still between the query and the extraction.
TEST_P(ArchiveExtractByCodec, FreeSpaceExactlyEqualToTheSelectionPasses) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  scratch_dir dir;
  std::string destination = "/dev/shm/qpk-space-" + std::to_string(getpid());
  fs::create_directory(destination);
  double free_bytes = 0;
  ASSERT_EQ(0, disk_free_space((destination + "/").c_str(), &free_bytes));
  for (double extra : {0.0, 1.0}) {
    SCOPED_TRACE(extra);
    // Deflated entries claiming the space in parts, each holding an empty stream.
    std::string archive = signature_field("QOR ARCHIVE FORMAT 2.0");
    double left = free_bytes + extra;
    for (int part = 0; left > 0; ++part) {
      test_entry entry = deflated("part" + std::to_string(part) + ".bin", "");
      entry.content_size = static_cast<uint32_t>(std::min(left, 4000000000.0));
      left -= entry.content_size;
      archive += entry_bytes(entry);
    }
    int status = extract(dir, archive, 1, {}, "*.*", destination);
    if (extra == 0) {
      EXPECT_EQ(ERROR_SIZE_MISMATCH, status) << "equal space passes the check (the empty streams then mismatch)";
      continue;
    }
    EXPECT_EQ(ERROR_DISK_SPACE, status) << "one byte more than is free must fail before writing";
    // Sizes one byte apart round alike: the reason line gives both in bytes.
    char reason[FAILURE_PATH_SIZE + 128];
    ASSERT_TRUE(failure_describe(reason, sizeof reason));
    const std::string needs =
        destination + ": needs " + std::to_string(static_cast<uint64_t>(free_bytes + 1)) + " bytes, ";
    EXPECT_EQ(needs, std::string(reason).substr(0, needs.size()));
    EXPECT_TRUE(std::string(reason).ends_with(" bytes free")) << reason;
  }
  fs::remove_all(destination);
}
#else
TEST(ArchiveExtract, FreeSpaceNeedsADriveLetter) {
  double bytes = 5;
  EXPECT_EQ(ERROR_DISK_SPACE, disk_free_space("\\\\server\\share\\", &bytes));
  EXPECT_EQ(0, bytes) << "undetermined space counts as none";
  EXPECT_EQ(0, disk_free_space("C:\\somewhere\\", &bytes));
  EXPECT_GT(bytes, 0);
}
#endif

// ---- damaged and unsafe entries ----

TEST(ArchiveExtract, DataRunningPastTheArchiveIsRefusedBeforeAnythingIsWritten) {
  for (uint32_t over : {1u, 4u, 5u}) {
    SCOPED_TRACE(over);
    scratch_dir dir;
    test_entry cut = stored("b.txt", "bravo");
    cut.stored_size = cut.content_size = 5 + over;
    std::string archive = make_archive({stored("a.txt", "alpha"), cut});
    int status = extract(dir, make_self_extractor("MZstub", archive), 1);
    EXPECT_EQ(ERROR_ENTRY_DATA, status) << "data running into the trailer or past the file is damage";
    EXPECT_FALSE(path_exists(dir.path("out/b.txt"))) << "nothing of the trailer may reach a file";
    EXPECT_FALSE(path_exists(dir.path("out/a.txt"))) << "the archive is checked before anything is written";
    EXPECT_TRUE(texts_of(EVENT_FILE_CREATED).empty());
  }
}

TEST_P(ArchiveExtractByCodec, DamagedDeflatedDataAndUnknownMethodsAreRefused) {
  std::string content = random_bytes(3000, 9);
  test_entry flipped = deflated("d.bin", content);
  flipped.data = zlib_stream(content, 0);
  flipped.stored_size = static_cast<uint32_t>(flipped.data.size());
  flipped.data[200] ^= 1;  // the length still matches; the check value does not
  test_entry unfinished = deflated("d.bin", content);
  unfinished.data = zlib_stream(content, 0) + zlib_stream(content, 0).substr(0, 20);
  unfinished.stored_size = static_cast<uint32_t>(unfinished.data.size());
  test_entry method3 = stored("d.bin", "abc");
  method3.method = 3;
  test_entry sizes_differ = stored("d.bin", "abc");
  sizes_differ.content_size = 2;
  struct {
    const char* what;
    test_entry entry;
    int expected;
  } cases[] = {
      {"damaged data of the right length", flipped, ERROR_ENTRY_DATA},
      {"data ending inside a stream", unfinished, ERROR_ENTRY_DATA},
      {"method 3", method3, ERROR_ENTRY_DATA},
      {"stored sizes that differ", sizes_differ, ERROR_SIZE_MISMATCH},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    scratch_dir dir;
    EXPECT_EQ(test.expected, extract(dir, make_archive({test.entry, stored("after.txt", "z")}), 1))
        << "a damaged entry must fail, not be reported as extracted";
    EXPECT_TRUE(texts_of(EVENT_FILE_CREATED).empty());
    EXPECT_FALSE(path_exists(dir.path("out/d.bin"))) << "a file whose data failed is removed, never left half-written";
    EXPECT_FALSE(path_exists(dir.path("out/after.txt"))) << "the walk stops at the failed entry";
  }
}

TEST(ArchiveExtract, NamesLeavingTheDestinationAreRefusedBeforeAnythingIsWritten) {
  std::vector<std::string> names = {"..\\evil.txt", "a\\..\\..\\evil.txt", "sub\\..\\evil.txt", "C:\\evil.txt",
                                    "C:evil.txt", "\\evil.txt", "/evil.txt", "", "sub\\", "sub\\..", "sub\\.",
                                    std::string(128, 'e')};
#ifdef _WIN32
  names.insert(names.end(), {"sub/../../evil.txt", "...\\evil.txt", "sub\\evil.txt:stream"});
#else
  names.insert(names.end(), {"sub/evil.txt", "sub\\../evil.txt"});
#endif
  for (int use_paths : {1, 0}) {
    for (const std::string& name : names) {
      SCOPED_TRACE((use_paths ? "with paths: " : "without paths: ") + name);
      scratch_dir dir;
      fs::create_directories(dir.path("out/sub"));
      test_entry entry = stored("", "evil");
      entry.name = name;
      EXPECT_EQ(ERROR_ENTRY_NAME, extract(dir, make_archive({entry, stored("after.txt", "z")}), use_paths))
          << "a name that leaves the destination must be refused";
      EXPECT_FALSE(exists_anywhere(dir, "evil.txt"));
      EXPECT_FALSE(exists_anywhere(dir, "after.txt"));
      EXPECT_TRUE(recorded_events.empty()) << "nothing is asked or created for a refused entry";
    }
  }
}

TEST(ArchiveExtract, DotsInsideNamesAreOrdinary) {
  scratch_dir dir;
  ASSERT_EQ(0, extract(dir, make_archive({stored("v1..2\\a..b.txt", "ok"), stored(".hidden", "h")}), 1));
  EXPECT_EQ("ok", read_file(dir.path("out/v1..2/a..b.txt")));
  EXPECT_EQ("h", read_file(dir.path("out/.hidden")));
}

TEST(ArchiveExtract, TargetPathsThatDoNotFitAreRefused) {
  scratch_dir dir;
  std::string destination = dir.path("out");
  while (destination.size() < PATH_SIZE - 56) destination += std::string(1, PATH_SEPARATOR) + "level";
  fs::create_directories(destination);
  const std::string file_name = std::string(100, 'x') + ".txt";
  for (int use_paths : {1, 0}) {
    SCOPED_TRACE(use_paths);
    std::string target = destination;
    target += PATH_SEPARATOR;
    if (use_paths) (target += 'd') += PATH_SEPARATOR;
    target += file_name;
    EXPECT_EQ(ERROR_ENTRY_NAME,
              extract(dir, make_archive({stored("d\\" + file_name, "x")}), use_paths, {}, "*.*", destination))
        << "a target path over PATH_SIZE - 1 characters must be refused, not cut";
    char reason[FAILURE_PATH_SIZE + 128];
    ASSERT_TRUE(failure_describe(reason, sizeof reason));
    EXPECT_EQ(target + ": the path is too long", reason) << "the refusal names the whole target";
  }
  EXPECT_FALSE(path_exists(destination + PATH_SEPARATOR + "d")) << "not even its directory is made";
  std::string fits = std::string(PATH_SIZE - 2 - destination.size(), 'f');
  EXPECT_EQ(0, extract(dir, make_archive({stored(fits, "x")}), 1, {}, "*.*", destination))
      << "a target of exactly PATH_SIZE - 1 characters fits";
}

TEST_P(ArchiveExtractByCodec, DataBeyondTwoGigabytesEndsTheWalkBeforeAnythingIsWritten) {
  const uint32_t data_position = 32 + 146 + 1 + 146;  // of the second entry
  struct {
    const char* what;
    uint32_t stored_size;
    int expected;
  } cases[] = {
      {"ending one byte past 2^31 - 1", 0x80000000u - data_position, ERROR_ENTRY_DATA},
      {"wrapping around 32 bits", 0xFFFFFFF0u, ERROR_ENTRY_DATA},
      {"ending at 2^31 - 1, merely past the end of the file", 0x7FFFFFFFu - data_position, ERROR_ENTRY_DATA},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    scratch_dir dir;
    test_entry far = deflated("far.bin", "");
    far.stored_size = test.stored_size;
    far.content_size = 1;
    std::string archive = make_archive({stored("first.txt", "1"), far});
    EXPECT_EQ(test.expected, extract(dir, archive, 1)) << "data that cannot be reached must fail the walk";
    EXPECT_FALSE(path_exists(dir.path("out/first.txt"))) << "the check stops a run that cannot be walked";
    EXPECT_EQ(ERROR_ENTRY_DATA, extract(dir, archive, 1, {}, "first.*")) << "also when the entry is not selected";
  }
}

}  // namespace
