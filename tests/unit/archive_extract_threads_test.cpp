// Extraction on several threads as a caller sees it: the same files, the same
// events of each kind in the same order, and the same stops (damage, cancel,
// questions) as on one thread.
#include <cstdio>
#include <filesystem>
#include <map>

#include "archive/access.h"
#include "archive/extract.h"
#include "archive/layout.h"
#include "archive_fixture.h"
#include "foundation/failure.h"

namespace fs = std::filesystem;

namespace {

struct outcome {
  int status = 0;
  std::string message;
  std::map<std::string, std::string> files;  // below the destination
  std::map<unsigned, std::vector<std::string>> events;  // texts by kind
};

outcome extract_on(unsigned threads, const std::string& archive, std::vector<scripted_answer> answers = {},
                   const std::map<std::string, std::string>& present = {}) {
  scratch_dir dir;
  write_file(dir.path("a.qpk"), archive);
  fs::create_directories(dir.path("out"));
  for (const auto& [name, content] : present) {
    fs::create_directories(fs::path(dir.path("out/" + name)).parent_path());
    write_file(dir.path("out/" + name), content);
  }
  EXPECT_EQ(0, archive_open(dir.path("a.qpk").c_str(), ARCHIVE_OPEN_READ));
  start_recording(std::move(answers));
  archive_set_threads(threads);
  outcome result;
  result.status = archive_extract("*.*", dir.path("out").c_str(), 1);
  archive_set_threads(1);
  archive_close();
  stop_recording();
  char message[FAILURE_PATH_SIZE + 128];
  if (result.status != 0 && failure_describe(message, sizeof message)) result.message = message;
  for (const auto& item : fs::recursive_directory_iterator(dir.path("out")))
    if (item.is_regular_file())
      result.files[fs::relative(item.path(), dir.path("out")).generic_string()] = read_file(item.path().string());
  const size_t base = dir.path("out").size();
  for (const recorded_event& seen : recorded_events)
    result.events[seen.event].push_back(seen.event == RECORDED_PROGRESS ? seen.text : seen.text.substr(base));
  return result;
}

// Many small entries in a few folders, stored and deflated, one that its
// reader cannot copy whole into memory and one large enough to be written
// apart; the entry at damaged (if any) has a flipped check value.
std::string many_entries(size_t count, size_t damaged = SIZE_MAX) {
  std::string bytes = signature_field("QOR ARCHIVE FORMAT 2.0");
  for (size_t i = 0; i < count; ++i) {
    char name[32];
    snprintf(name, sizeof name, "d%zu\\f%zu.txt", i % 5, i);
    const std::string content = text_of(100 + (i * 997) % 9000, static_cast<unsigned>(i));
    test_entry entry = i % 2 == 0 ? deflated(name, content) : stored(name, content);
    if (i == count / 3) entry = deflated(name, random_bytes(300000, 5));
    if (i == count / 2) entry = stored(name, random_bytes((2u << 20) + 10, 6));
    if (i == damaged) {
      entry = deflated(name, content);
      entry.data[entry.data.size() - 1] ^= 1;
    }
    bytes += entry_bytes(entry);
  }
  return bytes;
}

TEST(ArchiveExtractThreads, AnyThreadCountGivesTheFilesAndEventsOfOne) {
  const std::string archive = many_entries(120);
  const outcome one = extract_on(1, archive);
  ASSERT_EQ(0, one.status);
  ASSERT_EQ(120u, one.files.size());
  for (unsigned threads : {2u, 4u}) {
    SCOPED_TRACE(threads);
    const outcome many = extract_on(threads, archive);
    EXPECT_EQ(0, many.status);
    EXPECT_TRUE(one.files == many.files) << "every file whole, whatever thread wrote it";
    EXPECT_EQ(one.events, many.events) << "events of each kind in entry order";
  }
}

TEST(ArchiveExtractThreads, DamagedEntryStopsAsOnOneThread) {
  for (size_t damaged : {size_t{0}, size_t{41}, size_t{99}}) {
    SCOPED_TRACE(damaged);
    const std::string archive = many_entries(100, damaged);
    outcome one = extract_on(1, archive);
    EXPECT_EQ(ERROR_ENTRY_DATA, one.status);
    EXPECT_EQ(damaged, one.files.size()) << "the entries before the damaged one, no other";
    outcome four = extract_on(4, archive);
    EXPECT_EQ(one.status, four.status);
    EXPECT_EQ(one.message, four.message) << "the damaged entry's own failure is the one told";
    EXPECT_TRUE(one.files == four.files) << "entries written after the damaged one must be removed";
    EXPECT_EQ(one.events[EVENT_FILE_CREATED], four.events[EVENT_FILE_CREATED]);
  }
}

TEST(ArchiveExtractThreads, CancelAtAProgressReportKeepsTheEntriesBeforeIt) {
  const std::string archive = many_entries(60);
  for (int cancelled_after : {1, 30, 59}) {
    SCOPED_TRACE(cancelled_after);
    // The first report comes before any entry.
    const std::vector<scripted_answer> cancel = {{RECORDED_PROGRESS, cancelled_after + 1, ERROR_CANCELLED}};
    outcome one = extract_on(1, archive, cancel);
    outcome four = extract_on(4, archive, cancel);
    EXPECT_EQ(ERROR_CANCELLED, four.status);
    EXPECT_EQ(static_cast<size_t>(cancelled_after), four.files.size());
    EXPECT_TRUE(one.files == four.files) << "nothing the user was not told of may stay";
    EXPECT_EQ(one.events[EVENT_FILE_CREATED], four.events[EVENT_FILE_CREATED]);
  }
}

TEST(ArchiveExtractThreads, OverwriteQuestionWaitsForTheEarlierEntries) {
  const std::string archive = many_entries(40);
  for (int answer : {1, 0}) {
    SCOPED_TRACE(answer);
    const outcome four = extract_on(4, archive, {{EVENT_OVERWRITE_QUERY, 1, answer}}, {{"d1/f21.txt", "old"}});
    EXPECT_EQ(0, four.status);
    EXPECT_EQ(answer == 1 ? text_of(100 + (21 * 997) % 9000, 21) : "old", four.files.at("d1/f21.txt"));
    size_t created_before = 0;
    for (const recorded_event& seen : recorded_events) {
      if (seen.event == EVENT_OVERWRITE_QUERY) break;
      created_before += seen.event == EVENT_FILE_CREATED;
    }
    EXPECT_EQ(21u, created_before) << "every earlier entry is done before the question is asked";
  }
}

}  // namespace
