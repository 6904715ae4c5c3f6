// The two file layouts: finding the archive, the option block, building a
// self-extractor step by step, and copy_bytes.
#include <cstring>
#include <filesystem>

#include "archive/copy_bytes.h"
#include "archive/extract.h"
#include "archive/layout.h"
#include "archive/locate.h"
#include "archive/self_extractor_build.h"
#include "archive_fixture.h"
#include "foundation/file.h"
#include "foundation/pool.h"
#include "options/options.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

const std::string STUB = "MZ" + random_bytes(998, 3);

TEST(ArchiveLayout, OneStoredEntryArchiveHasItsFieldsAtTheirOffsets) {
  scratch_dir dir;
  // Written byte by byte as the format lays it out, not with the fixture.
  std::string bytes(181, '\0');
  bytes.replace(0, 22, "QOR ARCHIVE FORMAT 2.0");
  bytes.replace(32, 5, "a.txt");
  put_u16(bytes, 160, (44 << 9) | (3 << 5) | 15);
  put_u16(bytes, 162, (13 << 11) | (45 << 5) | 10);
  put_u16(bytes, 164, 2);
  put_u32(bytes, 166, 3);
  put_u32(bytes, 170, 3);
  put_u32(bytes, 174, 0x02);
  bytes.replace(178, 3, "abc");
  EXPECT_EQ(bytes, make_archive({[] {
              test_entry entry = stored("a.txt", "abc");
              entry.attributes = 0x02;
              return entry;
            }()}))
      << "the fixture writer must agree with the byte layout";
  write_file(dir.path("one.qpk"), bytes);
  ASSERT_EQ(0, archive_open(dir.path("one.qpk").c_str(), ARCHIVE_OPEN_READ));
  start_recording();
  EXPECT_EQ(0, archive_extract("*.*", dir.path("out").c_str(), 1));
  archive_close();
  EXPECT_EQ("abc", read_file(dir.path("out/a.txt"))) << "the data at 178-180 is the content";
  EXPECT_NE(0u, os_get_attributes(dir.path("out/a.txt").c_str()) & OS_ATTR_READONLY)
      << "the attribute word at 174 carries read-only";
}

// The archive's bounds and the option block of a file, as the reading
// functions see them on the open file.
struct located {
  int status;
  archive_bounds bounds;
  int options_status;
  option_block block;
};
located locate_file(const std::string& path) {
  located result{ERROR_FILE_OPEN, {}, ERROR_FILE_OPEN, {}};
  file_handle file = NO_FILE;
  if (file_open(path.c_str(), &file, FILE_MODE_READ) != 0) return result;
  result.status = archive_locate(file, &result.bounds);
  if (result.status == 0) result.options_status = se_read_options(file, result.bounds.start, &result.block);
  file_close(file);
  return result;
}

TEST(ArchiveLayout, LocateFindsPlainAndAttachedArchivesOnly) {
  scratch_dir dir;
  std::string archive = make_archive({stored("a.txt", "alpha")});
  std::string self_extractor = make_self_extractor(STUB, archive);
  std::string junk_after_zero = archive;
  junk_after_zero.replace(23, 9, "JUNKJUNK!");
  std::string wrong_case = archive;
  wrong_case[4] = 'a';
  const uint32_t attached = static_cast<uint32_t>(STUB.size() + 324);
  struct {
    const char* what;
    std::string bytes;
    int expected;
    archive_bounds bounds;
  } cases[] = {
      {"a plain archive", archive, 0, {0, static_cast<uint32_t>(archive.size())}},
      {"a self-extractor", self_extractor, 0, {attached, attached + static_cast<uint32_t>(archive.size())}},
      {"an executable whose last bytes point at its start", STUB + std::string(4, '\0'), ERROR_ARCHIVE_SIGNATURE, {}},
      {"an executable whose last bytes point past its end", STUB, ERROR_FILE_END, {}},
      {"bytes after the trailer hide the archive", self_extractor + "tail", ERROR_FILE_END, {}},
      {"junk after the signature's zero still matches", junk_after_zero, 0,
       {0, static_cast<uint32_t>(archive.size())}},
      {"a signature in the wrong case", wrong_case, ERROR_FILE_END, {}},
      {"a file shorter than the signature", "QOR", ERROR_FILE_END, {}},
      {"a trailer pointing past the end", STUB + "\xff\xff\xff\x7f", ERROR_FILE_END, {}},
      {"a trailer too large to seek to", STUB + "\xff\xff\xff\xff", ERROR_FILE_END, {}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    write_file(dir.path("f"), test.bytes);
    located found = locate_file(dir.path("f"));
    EXPECT_EQ(test.expected, found.status);
    if (test.expected != 0) continue;
    EXPECT_EQ(test.bounds.start, found.bounds.start);
    EXPECT_EQ(test.bounds.end, found.bounds.end) << "the entries end at the trailer or the end of the file";
  }
}

TEST(ArchiveLayout, ReadOptionsNeedsTheBlockBeforeTheArchive) {
  scratch_dir dir;
  std::string archive = make_archive({});
  write_file(dir.path("plain.qpk"), archive);
  write_file(dir.path("se.exe"), make_self_extractor(STUB, archive, 0x25));
  EXPECT_EQ(ERROR_OPTION_BLOCK, locate_file(dir.path("plain.qpk")).options_status)
      << "a plain archive has no option block";
  located self_extractor = locate_file(dir.path("se.exe"));
  ASSERT_EQ(0, self_extractor.options_status);
  EXPECT_EQ(0x25u, self_extractor.block.flags);
  EXPECT_STREQ(OPTION_SIGNATURE, self_extractor.block.signature);
}

// The block recorded for the given words, appended to a copy of the stub.
struct built_self_extractor {
  int write_status;
  std::string bytes;
};
built_self_extractor build_with(const scratch_dir& dir, std::vector<std::string> words) {
  option_state options;
  EXPECT_EQ(0, options_init(&options));
  std::vector<char*> argv{const_cast<char*>("qpk2exe")};
  for (std::string& word : words) argv.push_back(word.data());
  EXPECT_EQ(0, options_parse(&options, static_cast<int>(argv.size()), argv.data()));
  write_file(dir.path("out.exe"), STUB);
  option_block block;
  int status = options_record(options, &block);
  if (status == 0) {
    file_handle exe = NO_FILE;
    EXPECT_EQ(0, file_open(dir.path("out.exe").c_str(), &exe, FILE_MODE_WRITE));
    status = se_write_options(exe, &block);
    file_close(exe);
  }
  options_free(&options);
  return {status, read_file(dir.path("out.exe"))};
}

TEST(ArchiveLayout, OptionBlockRecordsTheCommandLine) {
  scratch_dir dir;
  struct {
    std::vector<std::string> words;
    uint32_t flags;
    std::string command, name, destination;
  } cases[] = {
      {{}, SEF_USE_PATHS, "", "", ""},
      {{"/nopath"}, 0, "", "", ""},
      {{"/q1", "-q2", "/y", "/n"}, SEF_USE_PATHS | SEF_SILENT | SEF_QUIET | SEF_AUTO_YES | SEF_AUTO_NO, "", "", ""},
      {{"/deleteafter", "/nosplashonextract", "/nostatus", "/forcedeleteprompt", "/nosplash"},
       SEF_USE_PATHS | SEF_DELETE_AFTER | SEF_NO_SPLASH | SEF_NO_STATUS | SEF_FORCE_DELETE_PROMPT, "", "", ""},
      {{"/e", "$(Destination)\\setup.exe", "/name", "Demo", "/destinationdirectory", "C:\\Out"},
       SEF_USE_PATHS, "$(Destination)\\setup.exe", "Demo", "C:\\Out"},
  };
  for (auto& test : cases) {
    std::string words;
    for (const std::string& word : test.words) words += word + " ";
    SCOPED_TRACE(words);
    built_self_extractor built = build_with(dir, test.words);
    ASSERT_EQ(0, built.write_status);
    ASSERT_EQ(STUB.size() + 324, built.bytes.size()) << "exactly the 324-byte block is appended";
    EXPECT_TRUE(STUB == built.bytes.substr(0, STUB.size())) << "the stub stays as it was";
    std::string block = built.bytes.substr(STUB.size());
    EXPECT_EQ(signature_field("QOR SE ARCHIVE FORMAT 2.0"), block.substr(0, 32));
    EXPECT_EQ(test.flags, get_u32(block, 32));
    EXPECT_EQ(test.command, std::string(block.c_str() + 36));
    EXPECT_EQ(test.name, std::string(block.c_str() + 164));
    EXPECT_EQ(test.destination, std::string(block.c_str() + 196));
    EXPECT_EQ(std::string(128 - test.destination.size(), '\0'), block.substr(196 + test.destination.size()))
        << "the rest of the block stays zero";
  }
}

TEST(ArchiveLayout, OptionValuesLongerThanTheirFieldsAreRefused) {
  scratch_dir dir;
  struct {
    const char* option;
    size_t longest;  // characters that still fit
  } cases[] = {{"/name", 31}, {"/e", 127}, {"/destinationdirectory", 127}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.option);
    built_self_extractor fits = build_with(dir, {test.option, std::string(test.longest, 'x')});
    EXPECT_EQ(0, fits.write_status);
    EXPECT_EQ(STUB.size() + 324, fits.bytes.size());
    built_self_extractor too_long = build_with(dir, {test.option, std::string(test.longest + 1, 'x')});
    EXPECT_EQ(ERROR_WORD_TOO_LONG, too_long.write_status) << "a value that does not fit must not be cut silently";
    EXPECT_TRUE(STUB == too_long.bytes) << "nothing is appended for a refused block";
  }
}

TEST(ArchiveLayout, BuildStepsGiveAWorkingSelfExtractor) {
  scratch_dir dir;
  std::string archive = make_archive({stored("a.txt", "alpha"), deflated("b\\c.txt", text_of(70000))});
  write_file(dir.path("data.qpk"), archive);
  built_self_extractor built = build_with(dir, {});
  ASSERT_EQ(0, built.write_status);
  std::string exe_path = dir.path("out.exe");
  file_handle exe = NO_FILE, input = NO_FILE;
  ASSERT_EQ(0, file_open(exe_path.c_str(), &exe, FILE_MODE_READ_WRITE));
  ASSERT_EQ(0, file_open(dir.path("data.qpk").c_str(), &input, FILE_MODE_READ));
  uint32_t offset = se_measure(exe);
  EXPECT_EQ(STUB.size() + 324, offset) << "the measure after the block is the archive's offset";
  ASSERT_EQ(0, se_append_archive(input, exe));
  archive_bounds bounds;
  EXPECT_NE(0, archive_locate(exe, &bounds)) << "without its trailer the archive cannot be found";
  ASSERT_EQ(0, se_fix(exe, offset));
  file_close(input);
  file_close(exe);
  std::string bytes = read_file(exe_path);
  ASSERT_EQ(STUB.size() + 324 + archive.size() + 4, bytes.size());
  EXPECT_TRUE(archive == bytes.substr(offset, archive.size())) << "the archive is appended byte for byte";
  EXPECT_EQ(STUB.size() + 324, get_u32(bytes, bytes.size() - 4)) << "the trailer reads S + 324";
  EXPECT_EQ(0, locate_file(exe_path).status);
}

TEST(ArchiveLayout, FixStampsTheCurrentTimeOnAllThreeTimes) {
  scratch_dir dir;
  std::string exe = dir.path("out.exe");
  write_file(exe, STUB);
  file_handle file = NO_FILE;
  ASSERT_EQ(0, file_open(exe.c_str(), &file, FILE_MODE_READ_WRITE));
  os_file_time old_time = 0;
  ASSERT_TRUE(os_dos_to_file_time((20 << 9) | (1 << 5) | 1, 0, &old_time));  // 2000-01-01
  ASSERT_TRUE(os_file_set_times(file, &old_time, &old_time, &old_time));
  file_close(file);
  auto before = std::filesystem::last_write_time(exe);
  ASSERT_EQ(0, file_open(exe.c_str(), &file, FILE_MODE_WRITE));
  ASSERT_EQ(0, se_fix(file, 1000));
  file_close(file);
  auto after = std::filesystem::last_write_time(exe);
  EXPECT_GT(after - before, std::chrono::hours(24 * 365 * 20)) << "the time of 2000 must be replaced by the current one";
#ifndef _WIN32
  struct stat info;
  ASSERT_EQ(0, stat(exe.c_str(), &info));
  EXPECT_EQ(info.st_atim.tv_sec, info.st_mtim.tv_sec) << "access and write time are the same instant";
  EXPECT_EQ(info.st_atim.tv_nsec, info.st_mtim.tv_nsec);
#endif
}

TEST(ArchiveLayout, CopyBytesCopiesExactlyTheCount) {
  scratch_dir dir;
  std::string source_bytes = random_bytes(200000);
  write_file(dir.path("source"), source_bytes);
  for (uint32_t count : {0u, 65519u, 65520u, 65521u, 131041u}) {
    SCOPED_TRACE(count);
    file_handle source = NO_FILE, target = NO_FILE;
    ASSERT_EQ(0, file_open(dir.path("source").c_str(), &source, FILE_MODE_READ));
    std::filesystem::remove(dir.path("target"));
    ASSERT_EQ(0, file_open(dir.path("target").c_str(), &target, FILE_MODE_CREATE));
    ASSERT_EQ(0, file_seek(source, 10, FILE_SEEK_SET));
    EXPECT_EQ(0, copy_bytes(source, target, count));
    int position = 0;
    file_tell(source, &position);
    EXPECT_EQ(static_cast<int>(10 + count), position) << "not a byte more is read than asked";
    file_close(source);
    file_close(target);
    EXPECT_TRUE(source_bytes.substr(10, count) == read_file(dir.path("target"))) << "the copy must be exact";
  }
}

TEST(ArchiveLayout, CopyBytesReportsShortSourcesAndMissingMemory) {
  scratch_dir dir;
  write_file(dir.path("source"), random_bytes(70000));
  file_handle source = NO_FILE, target = NO_FILE;
  ASSERT_EQ(0, file_open(dir.path("source").c_str(), &source, FILE_MODE_READ));
  ASSERT_EQ(0, file_open(dir.path("target").c_str(), &target, FILE_MODE_CREATE));
  EXPECT_EQ(ERROR_FILE_END, copy_bytes(source, target, 70001)) << "a source that ends early must fail the copy";
  int written = 0;
  file_size(target, &written);
  EXPECT_EQ(static_cast<int>(COPY_BUFFER_SIZE), written) << "the whole first block, and nothing of the short one";
  void* hog = pool_alloc(1000000 - 60000);
  ASSERT_NE(nullptr, hog);
  EXPECT_EQ(ERROR_SYSTEM_MEMORY, copy_bytes(source, target, 10)) << "no pool block for the buffer";
  pool_free(hog);
  EXPECT_EQ(0, copy_bytes(source, target, 0)) << "the pool block must have been given back";
  file_close(source);
  file_close(target);
}

}  // namespace
