// Archives made by qpk, extracted by the engine: same bytes, times to the
// two-second resolution of the format (as UTC), read-only and execute bits.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/access.h"
#include "archive/extract.h"
#include "foundation/backend.h"
#include "tests/unit/qpk_support.h"

namespace fs = std::filesystem;

TEST(QpkRoundTrip, TheEngineExtractsWhatCreateStored) {
  scratch_dir scratch;
  const struct {
    const char* path;  // below in/
    std::string content;
    int64_t modified;
    bool read_only;
    bool executable;
  } files[] = {
      {"tree/a.txt", "alpha", 981173107, false, false},
      {"tree/deep/er/text.txt", text_of(200000), 1700000001, true, false},
      {"tree/noise.bin", noise_of(70000), 1234567890, false, false},
      {"tree/empty.txt", "", 1500000000, false, false},
      {"tree/run.sh", "#!/bin/sh\necho ran\n", 1600000003, false, true},
  };
  for (const auto& file : files) {
    fs::path path = fs::path(scratch.path("in")) / file.path;
    fs::create_directories(path.parent_path());
    write_file(path.string(), file.content);
#ifndef _WIN32
    if (file.executable) fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
#endif
    set_modified(path.string(), file.modified);
    if (file.read_only) make_read_only(path.string());
  }
  std::string archive = scratch.path("tree.qpk");
  ASSERT_EQ(0, qpk_create(archive, {scratch.path("in/tree")}, {}, std::cerr));

  ASSERT_EQ(0, archive_open(archive.c_str(), ARCHIVE_OPEN_READ));
  fs::create_directories(scratch.path("out"));
  int status = archive_extract("*.*", scratch.path("out").c_str(), 1);
  archive_close();
  ASSERT_EQ(0, status) << "the engine must extract every entry qpk wrote";

  for (const auto& file : files) {
    SCOPED_TRACE(file.path);
    std::string extracted = (fs::path(scratch.path("out")) / file.path).string();
    EXPECT_EQ(file.content, read_file(extracted));
    os_path_facts facts = os_path_facts_of(extracted.c_str());
    EXPECT_EQ(file.modified - file.modified % 2, facts.modified) << "the time, as UTC, to the even second";
    EXPECT_EQ(file.read_only, (facts.attributes & OS_ATTR_READONLY) != 0);
#ifndef _WIN32
    EXPECT_EQ(file.executable, (facts.attributes & OS_ATTR_EXECUTE) != 0);
#endif
  }
}
