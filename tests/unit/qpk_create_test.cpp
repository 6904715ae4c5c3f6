// qpk create, read back with the test's own reader: names, order, content,
// methods, stream sizes, attributes and times, and every refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>

#include "archive/layout.h"
#include "tools/qpk/archive_output.h"
#include "tools/qpk/exclude.h"
#include "tests/unit/qpk_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t SAMPLE_TIME = 981173107;  // 2001-02-03 04:05:07 UTC
constexpr uint16_t SAMPLE_DATE_FIELD = (21 << 9) | (2 << 5) | 3;
constexpr uint16_t SAMPLE_TIME_FIELD = (4 << 11) | (5 << 5) | 3;

create_settings with_jobs(unsigned jobs) {
  create_settings settings;
  settings.jobs = jobs;
  return settings;
}

const read_entry* find_entry(const std::vector<read_entry>& entries, const std::string& name) {
  for (const read_entry& entry : entries) {
    if (entry.name == name) return &entry;
  }
  ADD_FAILURE() << name << " should be in the archive";
  return nullptr;
}

}  // namespace

TEST(QpkCreate, StoresFilesAndFoldersUnderTheNamesAUserExpects) {
  scratch_dir scratch;
  fs::create_directories(scratch.path("docs/sub"));
  fs::create_directories(scratch.path("docs/empty"));
  write_file(scratch.path("docs/b.txt"), text_of(10000));
  write_file(scratch.path("docs/a.txt"), "alpha");
  write_file(scratch.path("docs/sub/noise.bin"), noise_of(100000));
  write_file(scratch.path("top.txt"), "");
  for (const char* name : {"docs/b.txt", "docs/a.txt", "docs/sub/noise.bin", "top.txt"}) {
    set_modified(scratch.path(name), SAMPLE_TIME);
  }
  make_read_only(scratch.path("docs/a.txt"));
  std::string archive = scratch.path("out.qpk");

  ASSERT_EQ(0, qpk_create(archive, {scratch.path("docs"), scratch.path("top.txt")}, {}, std::cerr));

  std::vector<read_entry> entries = read_archive(archive);
  std::vector<std::string> expected = {"docs\\a.txt", "docs\\b.txt", "docs\\sub\\noise.bin", "top.txt"};
  EXPECT_EQ(expected, entry_names(entries)) << "folders in name order under the folder's own name; empty folders vanish";
  const struct {
    const char* name;
    std::string content;
  } files[] = {
      {"docs\\a.txt", "alpha"},
      {"docs\\b.txt", text_of(10000)},
      {"docs\\sub\\noise.bin", noise_of(100000)},
      {"top.txt", ""},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const read_entry* entry = find_entry(entries, file.name);
    if (entry == nullptr) continue;
    EXPECT_EQ(file.content, entry->content);
    EXPECT_EQ(METHOD_DEFLATED, entry->method) << "every entry in zlib streams, so that every one is checked";
    EXPECT_EQ(SAMPLE_DATE_FIELD, entry->date);
    EXPECT_EQ(SAMPLE_TIME_FIELD, entry->time) << "UTC fields, seconds rounded down to even";
    bool read_only = std::string(file.name) == "docs\\a.txt";
    EXPECT_EQ(read_only, (entry->attributes & ENTRY_ATTR_READONLY) != 0);
    EXPECT_EQ(0u, entry->attributes & ENTRY_ATTR_EXECUTE);
  }
}

#ifndef _WIN32
TEST(QpkCreate, OwnerExecutePermissionIsKeptAsTheExecuteBit) {
  scratch_dir scratch;
  write_file(scratch.path("run.sh"), "#!/bin/sh\necho hi\n");
  fs::permissions(scratch.path("run.sh"), fs::perms::owner_exec, fs::perm_options::add);
  write_file(scratch.path("plain.txt"), "text");
  ASSERT_EQ(0, qpk_create(scratch.path("out.qpk"), {scratch.path("run.sh"), scratch.path("plain.txt")}, {}, std::cerr));
  std::vector<read_entry> entries = read_archive(scratch.path("out.qpk"));
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(ENTRY_ATTR_EXECUTE, entries[0].attributes) << "run.sh is executable";
  EXPECT_EQ(0u, entries[1].attributes) << "plain.txt is not";
}
#endif

TEST(QpkCreate, OutputIsTheSameWhateverTheNumberOfThreads) {
  scratch_dir scratch;
  // Five blocks: four full ones of 64000 bytes and a short one.
  std::string content = text_of(150000) + noise_of(30000) + text_of(100000);
  write_file(scratch.path("big.txt"), content);
  write_file(scratch.path("small.txt"), "small");
  std::vector<std::string> inputs = {scratch.path("big.txt"), scratch.path("small.txt")};
  ASSERT_EQ(0, qpk_create(scratch.path("j1.qpk"), inputs, with_jobs(1), std::cerr));
  ASSERT_EQ(0, qpk_create(scratch.path("j2.qpk"), inputs, with_jobs(2), std::cerr));
  ASSERT_EQ(0, qpk_create(scratch.path("j4.qpk"), inputs, with_jobs(4), std::cerr));
  std::string one = read_file(scratch.path("j1.qpk"));
  EXPECT_EQ(one, read_file(scratch.path("j2.qpk"))) << "-j 2 must write the same bytes as -j 1";
  EXPECT_EQ(one, read_file(scratch.path("j4.qpk"))) << "-j 4 must write the same bytes as -j 1";

  std::vector<read_entry> entries = read_archive_bytes(one);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(METHOD_DEFLATED, entries[0].method);
  EXPECT_EQ(content, entries[0].content);
  std::vector<size_t> streams = {64000, 64000, 64000, 64000, 280000 - 4 * 64000};
  EXPECT_EQ(streams, entries[0].streams) << "one finished zlib stream per 64000-byte block";
}

TEST(QpkCreate, KeepsBlocksAsTheyAreWhenDeflatingDoesNotHelp) {
  scratch_dir scratch;
  write_file(scratch.path("text.txt"), text_of(70000));
  write_file(scratch.path("noise.bin"), noise_of(70000));
  struct method_case {
    const char* what;
    const char* file;
    create_settings settings;
    bool as_is;  // in stored deflate blocks
  };
  create_settings store;
  store.store = true;
  create_settings level0;
  level0.level = 0;
  create_settings level1;
  level1.level = 1;
  const method_case cases[] = {
      {"text deflates", "text.txt", {}, false},
      {"text at level 1 deflates", "text.txt", level1, false},
      {"noise is kept as it is", "noise.bin", {}, true},
      {"--store keeps text as it is", "text.txt", store, true},
      {"level 0 only grows text, so it is kept as it is", "text.txt", level0, true},
  };
  for (const method_case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string archive = scratch.path("out.qpk");
    ASSERT_EQ(0, qpk_create(archive, {scratch.path(c.file)}, c.settings, std::cerr));
    std::vector<read_entry> entries = read_archive(archive);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(METHOD_DEFLATED, entries[0].method) << "in zlib streams either way, so that the data is checked";
    EXPECT_EQ(read_file(scratch.path(c.file)), entries[0].content);
    EXPECT_EQ((std::vector<size_t>{64000, 6000}), entries[0].streams) << "one stream per 64000-byte block";
    if (c.as_is) {
      EXPECT_EQ(70000u + 2 * 11, entries[0].stored) << "each block grows by 11 bytes, no more";
    } else {
      EXPECT_LT(entries[0].stored, entries[0].size);
    }
  }
}

TEST(QpkCreate, RefusalsNameTheFileAndLeaveNothingBehind) {
  struct refusal_case {
    const char* what;
    std::vector<std::string> files;  // relative paths to create
    std::vector<std::string> inputs;
    const char* named;  // expected in the message
  };
  const refusal_case cases[] = {
      {"a name of 128 characters", {"docs/" + std::string(123, 'n')}, {"docs"}, "127 bytes"},
      {"a missing input", {"a.txt"}, {"a.txt", "missing.txt"}, "missing.txt"},
      {"two inputs stored under one name", {"x/a.txt", "y/A.TXT"}, {"x/a.txt", "y/A.TXT"}, "A.TXT"},
      {"nothing to store", {}, {"."}, "nothing to store"},
#ifndef _WIN32
      {"a name holding a backslash", {"docs/a\\..\\..\\b"}, {"docs"}, "'\\'"},
#endif
  };
  for (const refusal_case& c : cases) {
    SCOPED_TRACE(c.what);
    scratch_dir scratch;
    fs::create_directories(scratch.path("in"));
    for (const std::string& file : c.files) {
      fs::path path = fs::path(scratch.path("in")) / file;
      fs::create_directories(path.parent_path());
      write_file(path.string(), "content");
    }
    fs::create_directories(scratch.path("out"));
    write_file(scratch.path("out/old.qpk"), "the archive that was there before");
    std::vector<std::string> inputs;
    for (const std::string& input : c.inputs) inputs.push_back((fs::path(scratch.path("in")) / input).string());

    std::ostringstream err;
    EXPECT_EQ(1, qpk_create(scratch.path("out/new.qpk"), inputs, {}, err));
    EXPECT_NE(std::string::npos, err.str().find(c.named)) << err.str();
    EXPECT_EQ(std::vector<std::string>{"old.qpk"}, folder_contents(scratch.path("out")))
        << "a refused create must leave no archive and no temporary file";
    std::ostringstream err_again;
    EXPECT_EQ(1, qpk_create(scratch.path("out/old.qpk"), inputs, {}, err_again));
    EXPECT_EQ("the archive that was there before", read_file(scratch.path("out/old.qpk")))
        << "a refused create must not touch an existing archive";
  }
}

TEST(QpkCreate, PatternsMatchLikeAShellWithinOneFolder) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"*.txt", "a.txt", true},
      {"*.txt", ".txt", true},
      {"*.txt", "a.txt.gz", false},
      {"*a*b", "xaxxab", true},  // the first "a" is not the one that fits
      {"*a*b", "xaxbx", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"[ab].h", "b.h", true},
      {"[!ab].h", "b.h", false},
      {"[^ab].h", "c.h", true},
      {"x[0-9]", "x7", true},
      {"x[0-9]", "xa", false},
      {"[]x]", "]", true},
      {"[a-]", "-", true},
      {"a[", "a[", true},  // unclosed: an ordinary character
      {"A.TXT", "a.txt", false},
      {"docs/*", "docs\\a.txt", true},
      {"docs\\*", "docs/a.txt", true},
      {"*", "docs\\a.txt", false},  // no wildcard crosses a separator
      {"d*s", "docs\\sub\\s", false},
      {"a?b", "a\\b", false},
      {"a[\\]b", "a\\b", false},
      {"*/*", "docs\\a.txt", true},
      {"*/*", "docs\\sub\\a.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " against " + c.text);
    EXPECT_EQ(c.matches, pattern_matches(c.pattern, c.text));
  }
  for (const char* name : {"a*b", "what?.txt", "x[1]\\y.h", "plain\\name.txt"}) {
    SCOPED_TRACE(name);
    std::string literal = literal_pattern(name);
    EXPECT_TRUE(pattern_matches(literal, name)) << literal;
    EXPECT_FALSE(pattern_matches(literal, std::string(name) + "x")) << literal;
    EXPECT_FALSE(pattern_matches(literal, "axb")) << literal << " must match its own name only";
  }
}

TEST(QpkCreate, ExcludeLeavesOutMatchesAndEverythingUnderAMatchedFolder) {
  scratch_dir scratch;
  // The long name cannot be stored: every case but the first leaves it out.
  const std::string unstorable = "docs/sub/" + std::string(124, 'n') + ".tmp";
  for (const char* file : {"docs/a.txt", "docs/b.o", "docs/sub/c.txt", "docs/sub/d.o", "other/sub", "top.txt"}) {
    fs::create_directories(fs::path(scratch.path(file)).parent_path());
    write_file(scratch.path(file), file);
  }
  write_file(scratch.path(unstorable), "too long");
  const std::vector<std::string> all = {"docs\\a.txt", "docs\\b.o",  "docs\\sub\\c.txt",
                                        "docs\\sub\\d.o", "other\\sub", "top.txt"};
  const struct {
    const char* what;
    std::vector<std::string> patterns;
    std::vector<std::string> kept;  // empty: refused, with the text below
    const char* refusal;
  } cases[] = {
      {"nothing left out", {}, {}, "127 bytes"},
      {"an unstorable name left out before it is checked", {"*.tmp"}, all, ""},
      {"a name pattern in every folder", {"*.tmp", "*.o"},
       {"docs\\a.txt", "docs\\sub\\c.txt", "other\\sub", "top.txt"}, ""},
      {"a matched folder takes its contents, a matched file goes", {"sub"}, {"docs\\a.txt", "docs\\b.o", "top.txt"}, ""},
      {"a trailing separator matches folders only", {"sub/"},
       {"docs\\a.txt", "docs\\b.o", "other\\sub", "top.txt"}, ""},
      {"a path from the top, written either way", {"docs\\sub"},
       {"docs\\a.txt", "docs\\b.o", "other\\sub", "top.txt"}, ""},
      {"a path pattern names one place only", {"*.tmp", "docs/sub/*.o"},
       {"docs\\a.txt", "docs\\b.o", "docs\\sub\\c.txt", "other\\sub", "top.txt"}, ""},
      {"* stays inside one folder", {"*.tmp", "*/c.txt"}, all, ""},
      {"sets and their negation", {"*.tmp", "[ab].*", "[!ab].txt"}, {"docs\\sub\\d.o", "other\\sub", "top.txt"}, ""},
      {"case counts", {"*.tmp", "A.TXT", "DOCS"}, all, ""},
      {"a file given by name", {"*.tmp", "top.txt"},
       {"docs\\a.txt", "docs\\b.o", "docs\\sub\\c.txt", "docs\\sub\\d.o", "other\\sub"}, ""},
      {"everything left out", {"docs", "other", "t*"}, {}, "--exclude left out the rest"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    create_settings settings;
    settings.excludes = c.patterns;
    std::string archive = scratch.path("out.qpk");
    fs::remove(archive);
    std::ostringstream err;
    int status = qpk_create(archive, {scratch.path("docs"), scratch.path("other"), scratch.path("top.txt")}, settings, err);
    if (c.kept.empty()) {
      EXPECT_EQ(1, status);
      EXPECT_NE(std::string::npos, err.str().find(c.refusal)) << err.str();
      continue;
    }
    ASSERT_EQ(0, status) << err.str();
    EXPECT_EQ(c.kept, entry_names(read_archive(archive)));
  }
}

TEST(QpkCreate, EveryNameClashIsNamedWithAnExcludeThatResolvesIt) {
  scratch_dir scratch;
  // Apart, as a case-insensitive file system keeps them.
  for (const char* file : {"x/a.txt", "x/b[1].txt", "x/same.txt", "y/A.TXT", "y/B[1].TXT", "y/same.txt"}) {
    fs::create_directories(fs::path(scratch.path(file)).parent_path());
    write_file(scratch.path(file), file);
  }
  auto inputs = [&](std::vector<const char*> files) {
    std::vector<std::string> paths;
    for (const char* file : files) paths.push_back(scratch.path(file));
    return paths;
  };
  std::ostringstream err;
  EXPECT_EQ(1, qpk_create(scratch.path("out.qpk"),
                          inputs({"x/a.txt", "x/b[1].txt", "x/same.txt", "y/A.TXT", "y/B[1].TXT", "y/same.txt"}), {},
                          err));
  // One line per clash, naming both files; the case clashes suggest a pattern.
  std::istringstream lines(err.str());
  std::vector<std::string> messages;
  create_settings settings;
  for (std::string line; std::getline(lines, line);) {
    messages.push_back(line);
    size_t at = line.find("--exclude \"");
    if (at != std::string::npos) settings.excludes.push_back(line.substr(at + 11, line.size() - at - 12));
  }
  ASSERT_EQ(3u, messages.size()) << err.str();
  const char* pairs[][2] = {{"y/A.TXT", "x/a.txt"}, {"y/B[1].TXT", "x/b[1].txt"}, {"y/same.txt", "x/same.txt"}};
  for (size_t i = 0; i < 3; ++i) {
    for (const char* file : pairs[i]) {
      EXPECT_NE(std::string::npos, messages[i].find(scratch.path(file)))
          << messages[i] << " should name " << file;
    }
  }
  EXPECT_EQ((std::vector<std::string>{"A.TXT", "B[[]1].TXT"}), settings.excludes)
      << "identical names get no pattern: it would leave out both";

  ASSERT_EQ(0, qpk_create(scratch.path("out.qpk"),
                          inputs({"x/a.txt", "x/b[1].txt", "x/same.txt", "y/A.TXT", "y/B[1].TXT"}), settings, err))
      << err.str();
  EXPECT_EQ((std::vector<std::string>{"a.txt", "b[1].txt", "same.txt"}), entry_names(read_archive(scratch.path("out.qpk"))));

  create_settings allowed;
  allowed.allow_case_clash = true;
  std::ostringstream warned;
  ASSERT_EQ(0, qpk_create(scratch.path("out.qpk"), inputs({"x/a.txt", "y/A.TXT"}), allowed, warned)) << warned.str();
  EXPECT_EQ((std::vector<std::string>{"a.txt", "A.TXT"}), entry_names(read_archive(scratch.path("out.qpk"))));
  EXPECT_NE(std::string::npos, warned.str().find("warning: \"A.TXT\" and \"a.txt\"")) << warned.str();
  EXPECT_NE(std::string::npos, warned.str().find("Windows")) << "the warning says where one is lost";
}

#ifndef _WIN32
TEST(QpkCreate, EveryUnstorableNameIsNamedInOneRunWithItsExclude) {
  scratch_dir scratch;
  const std::string long_name = std::string(130, 'n');
  for (const std::string& file : std::vector<std::string>{"in/a:b.txt", "in/back\\slash", "in/" + long_name,
                                                         "in/case/x.txt", "in/Case/X.TXT", "in/ok.txt"}) {
    fs::create_directories(fs::path(scratch.path(file)).parent_path());
    write_file(scratch.path(file), "content");
  }
  std::ostringstream err;
  EXPECT_EQ(1, qpk_create(scratch.path("out.qpk"), {scratch.path("in")}, {}, err));
  EXPECT_FALSE(fs::exists(scratch.path("out.qpk")));
  create_settings settings;
  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);) {
    size_t at = line.find("--exclude \"");
    ASSERT_NE(std::string::npos, at) << line << " should say how to leave the name out";
    settings.excludes.push_back(line.substr(at + 11, line.size() - at - 12));
  }
  EXPECT_EQ((std::vector<std::string>{"in/a:b.txt", "in/back/slash", "in/" + long_name, "in/case/x.txt"}),
            settings.excludes) << err.str();
  ASSERT_EQ(0, qpk_create(scratch.path("out.qpk"), {scratch.path("in")}, settings, err)) << err.str();
  EXPECT_EQ((std::vector<std::string>{"in\\Case\\X.TXT", "in\\ok.txt"}),
            entry_names(read_archive(scratch.path("out.qpk"))));
}

TEST(QpkCreate, FilesOthersCannotReadAreMarkedPrivate) {
  scratch_dir scratch;
  const struct {
    const char* file;
    fs::perms mode;
    bool is_private;
  } cases[] = {
      {"in/secret.key", fs::perms(0600), true},  {"in/group.txt", fs::perms(0640), true},
      {"in/shared.txt", fs::perms(0644), false}, {"in/run.sh", fs::perms(0755), false},
      {"in/closed/inside.txt", fs::perms(0644), true},
  };
  for (const auto& c : cases) {
    fs::create_directories(fs::path(scratch.path(c.file)).parent_path());
    write_file(scratch.path(c.file), c.file);
    fs::permissions(scratch.path(c.file), c.mode);
  }
  fs::permissions(scratch.path("in/closed"), fs::perms(0700));
  ASSERT_EQ(0, qpk_create(scratch.path("out.qpk"), {scratch.path("in")}, {}, std::cerr));
  std::vector<read_entry> entries = read_archive(scratch.path("out.qpk"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string name = std::string(c.file);
    std::replace(name.begin(), name.end(), '/', '\\');
    const read_entry* entry = find_entry(entries, name);
    if (entry != nullptr) {
      EXPECT_EQ(c.is_private, (entry->attributes & ENTRY_ATTR_PRIVATE) != 0);
    }
  }
}
#endif

TEST(QpkCreate, NeverStoresTheArchiveInItself) {
  scratch_dir scratch;
  fs::create_directories(scratch.path("tree"));
  write_file(scratch.path("tree/a.txt"), "alpha");
  std::string archive = scratch.path("tree/self.qpk");
  ASSERT_EQ(0, qpk_create(archive, {scratch.path("tree")}, {}, std::cerr));
  EXPECT_EQ(std::vector<std::string>{"tree\\a.txt"}, entry_names(read_archive(archive)));
  // Again, now that the archive exists inside the folder it stores.
  ASSERT_EQ(0, qpk_create(archive, {scratch.path("tree")}, {}, std::cerr));
  EXPECT_EQ(std::vector<std::string>{"tree\\a.txt"}, entry_names(read_archive(archive)));
  EXPECT_EQ((std::vector<std::string>{"a.txt", "self.qpk"}), folder_contents(scratch.path("tree")));
}

TEST(QpkCreate, BufferedWritesLandWhereTheyWereAimed) {
  // Seeded writes and seeks of every size against a plain string: inside the
  // buffer, just past it, back into parts already sent to the file, and
  // larger than the buffer.
  scratch_dir scratch;
  std::mt19937 random(5);
  std::string expected;
  uint32_t position = 0;
  archive_output output;
  ASSERT_EQ("", output.open(scratch.path("mixed.qpk")));
  for (int step = 0; step < 400; ++step) {
    if (random() % 3 == 0 && !expected.empty()) {
      // Anywhere, or near where the last write ended (inside the buffer or
      // just beyond it).
      int64_t target = random() % 2 == 0 ? static_cast<int64_t>(random() % (expected.size() + 1))
                                         : static_cast<int64_t>(position) + static_cast<int64_t>(random() % 600001) - 300000;
      position = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, static_cast<int64_t>(expected.size())));
      ASSERT_EQ("", output.seek(position));
    }
    static constexpr uint32_t SIZES[] = {1, 146, 4000, 64000, 262143, 262144, 262145, 700000};
    uint32_t size = SIZES[random() % std::size(SIZES)];
    std::string bytes(size, static_cast<char>('a' + step % 26));
    ASSERT_EQ("", output.write(bytes.data(), size));
    if (expected.size() < position + size) expected.resize(position + size);
    expected.replace(position, size, bytes);
    position += size;
    ASSERT_EQ(position, output.position());
  }
  // The archive ends where the last write or seek left it.
  ASSERT_EQ("", output.seek(static_cast<uint32_t>(expected.size() - 3)));
  expected.resize(expected.size() - 3);
  ASSERT_EQ("", output.commit());
  EXPECT_TRUE(expected == read_file(scratch.path("mixed.qpk")));
}

TEST(QpkCreate, AnArchiveNeverReachesTwoGibibytes) {
  scratch_dir scratch;
  {
    archive_output output;
    ASSERT_EQ("", output.open(scratch.path("huge.qpk")));
    EXPECT_EQ("", output.seek(0x7FFFFFFF - 10));
    EXPECT_EQ("", output.write("0123456789", 10)) << "the archive may end at the last byte a seek reaches";
    std::string problem = output.write("x", 1);
    EXPECT_NE(std::string::npos, problem.find("2 GiB")) << problem;
  }
  EXPECT_TRUE(folder_contents(scratch.path()).empty()) << "an archive that was not committed leaves no file";
}
