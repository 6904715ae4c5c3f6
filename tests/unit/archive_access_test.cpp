// The one open archive: opening results, positions, the callback, and the
// exit hooks that close the archive at shut-down.
#include "archive/access.h"
#include "archive/layout.h"
#include "archive_fixture.h"
#include "foundation/file.h"
#include "foundation/module.h"

namespace {

int position_of_open_archive() {
  int position = -1;
  file_tell(archive_current()->file, &position);
  return position;
}

TEST(ArchiveAccess, OpenFindsTheArchiveOrSaysWhyNot) {
  scratch_dir dir;
  std::string archive = make_archive({stored("a.txt", "alpha")});
  std::string stub(500, 'S');
  std::string pointing_near_end = stub + std::string(10, 'x');
  pointing_near_end += std::string(4, '\0');
  put_u32(pointing_near_end, pointing_near_end.size() - 4, static_cast<uint32_t>(stub.size() + 2));
  struct {
    const char* what;
    std::string bytes;
    int expected;
    int position;  // after a successful open
  } cases[] = {
      {"a plain archive", archive, 0, 32},
      {"a self-extractor", make_self_extractor(stub, archive), 0, 500 + 324 + 32},
      {"an executable without archive", stub + std::string(4, '\0'), ERROR_ARCHIVE_SIGNATURE, 0},
      {"a trailer pointing too near the end", pointing_near_end, ERROR_FILE_END, 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    write_file(dir.path("f"), test.bytes);
    EXPECT_EQ(test.expected, archive_open(dir.path("f").c_str(), ARCHIVE_OPEN_READ));
    if (test.expected == 0) {
      EXPECT_EQ(test.position, position_of_open_archive()) << "the archive is left just after its signature";
    } else {
      EXPECT_EQ(NO_FILE, archive_current()->file) << "a failed open leaves no archive open";
    }
    archive_close();
  }
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, archive_open(dir.path("missing").c_str(), ARCHIVE_OPEN_READ));
  EXPECT_EQ(NO_FILE, archive_current()->file);
}

TEST(ArchiveAccess, AppendModeCreatesOrReopensPlainArchivesOnly) {
  scratch_dir dir;
  ASSERT_EQ(0, archive_open(dir.path("new.qpk").c_str(), ARCHIVE_OPEN_APPEND));
  archive_close();
  EXPECT_EQ(signature_field("QOR ARCHIVE FORMAT 2.0"), read_file(dir.path("new.qpk")))
      << "a new archive holds the signature field alone";
  std::string archive = make_archive({stored("a.txt", "alpha")});
  write_file(dir.path("old.qpk"), archive);
  ASSERT_EQ(0, archive_open(dir.path("old.qpk").c_str(), ARCHIVE_OPEN_APPEND));
  EXPECT_EQ(static_cast<int>(archive.size()), position_of_open_archive()) << "an existing archive is opened at its end";
  archive_close();
  write_file(dir.path("se.exe"), make_self_extractor("MZstub", archive));
  EXPECT_EQ(ERROR_ARCHIVE_SIGNATURE, archive_open(dir.path("se.exe").c_str(), ARCHIVE_OPEN_APPEND))
      << "only a plain archive can be appended to";
  EXPECT_EQ(NO_FILE, archive_current()->file);
}

TEST(ArchiveAccess, CloseIsHarmlessWithoutAnArchive) {
  archive_close();
  EXPECT_EQ(0, archive_close());
  EXPECT_EQ(NO_FILE, archive_current()->file);
}

TEST(ArchiveAccess, NotifyAnswersZeroWithoutCallbackAndForwardsWithOne) {
  archive_set_notify(nullptr);
  for (unsigned event : {EVENT_EXTRACTING, EVENT_OVERWRITE_QUERY, EVENT_FILE_CREATED, EVENT_ERROR})
    EXPECT_EQ(0, archive_notify(event, "x")) << "no callback: every event is answered 0";
  start_recording({{EVENT_OVERWRITE_QUERY, 1, 1}});
  EXPECT_EQ(1, archive_notify(EVENT_OVERWRITE_QUERY, "target"));
  ASSERT_EQ(1u, recorded_events.size());
  EXPECT_EQ(EVENT_OVERWRITE_QUERY, recorded_events[0].event);
  EXPECT_EQ("target", recorded_events[0].text);
  stop_recording();
}

int count_hooks(exit_hook hook) {
  int count = 0;
  for (int i = 0; i < HOOK_TABLE_SIZE; ++i) count += module_hook_slots()[i].hook == hook;
  return count;
}

TEST(ArchiveAccess, ShutDownClosesTheOpenArchiveAndLeavesNoHooks) {
  scratch_dir dir;
  write_file(dir.path("a.qpk"), make_archive({}));
  for (int i = 0; i < 2 * HOOK_TABLE_SIZE; ++i) ASSERT_EQ(0, archive_open(dir.path("a.qpk").c_str(), ARCHIVE_OPEN_READ));
  EXPECT_EQ(1, count_hooks(archive_close)) << "many opens must not fill the hook table; one closing hook serves them";
  foundation_term();
  EXPECT_EQ(NO_FILE, archive_current()->file) << "the terminate pass must close the archive";
  for (int i = 0; i < HOOK_TABLE_SIZE; ++i) EXPECT_EQ(nullptr, module_hook_slots()[i].hook) << "slot " << i;
  // Start again for the tests that follow.
  const uint32_t pool_size = 1000000;
  ASSERT_EQ(0, foundation_init(&pool_size));
  ASSERT_EQ(0, archive_init());
}

}  // namespace
