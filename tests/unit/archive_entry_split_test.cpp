// split_write_entry on hand-made cuts of zlib streams, each written on 1, 2
// and 4 threads and held against the one-thread path (inflate_entry, or
// copy_bytes, with extract's rule: damage before length).
#include <algorithm>
#include <initializer_list>

#include "archive/entry_split.h"
#include "archive/copy_bytes.h"
#include "archive/extract.h"
#include "archive_fixture.h"

namespace {

constexpr unsigned THREAD_COUNTS[] = {1, 2, 4};
const std::string PREFIX = "PREFIX";  // puts the data off any page boundary

struct stream_cut {
  std::string data;
  std::string content;
  std::vector<size_t> starts;  // where each stream begins in data
};

// Streams of the given content lengths in turn until the data holds more than
// SPLIT_ENTRY_MIN bytes; every third is text, the others random (stored
// blocks). plant_every puts a whole zlib stream of its own inside the random
// content every so many bytes, so that stored blocks carry false starts.
stream_cut cut_of(std::initializer_list<size_t> lengths, size_t plant_every = 0) {
  stream_cut cut;
  unsigned seed = 1;
  while (cut.data.size() <= SPLIT_ENTRY_MIN + 100000) {
    for (size_t length : lengths) {
      std::string part = seed % 3 == 0 ? text_of(length, seed) : random_bytes(length, seed);
      for (size_t at = 0; plant_every != 0 && seed % 3 != 0 && at + plant_every < length; at += plant_every) {
        const std::string planted = zlib_stream(text_of(plant_every, seed + static_cast<unsigned>(at)));
        part.replace(at, planted.size(), planted);
      }
      cut.starts.push_back(cut.data.size());
      cut.data += zlib_stream(part, 6);
      cut.content += part;
      ++seed;
    }
  }
  return cut;
}

struct entry_case {
  uint16_t method;
  std::string data;
  uint32_t stored_size;
  uint32_t content_size;
};

entry_case deflated_case(const stream_cut& cut) {
  return {METHOD_DEFLATED, cut.data, static_cast<uint32_t>(cut.data.size()),
          static_cast<uint32_t>(cut.content.size())};
}

struct written {
  int status;
  std::string output;
};

// Writes the entry into a new file (or, given a mode, one that exists) with
// split_write_entry on that many threads, or with the one-thread rule over
// inflate_entry and copy_bytes where threads is 0.
written write_entry(const entry_case& entry, unsigned threads, uint32_t output_mode = FILE_MODE_NEW) {
  scratch_dir dir;
  write_file(dir.path("archive"), PREFIX + entry.data);
  if (output_mode != FILE_MODE_NEW) write_file(dir.path("out"), "");
  file_handle archive = NO_FILE, output = NO_FILE;
  EXPECT_EQ(0, file_open(dir.path("archive").c_str(), &archive, FILE_MODE_READ));
  EXPECT_EQ(0, file_open(dir.path("out").c_str(), &output, output_mode));
  entry_header header{};
  header.method = entry.method;
  header.stored_size = entry.stored_size;
  header.content_size = entry.content_size;
  int status = 0;
  uint32_t produced = 0;
  if (threads > 0) {
    status = split_write_entry(archive, header, static_cast<uint32_t>(PREFIX.size()), output, threads);
  } else if (file_seek(archive, static_cast<int32_t>(PREFIX.size()), FILE_SEEK_SET) == 0 &&
             entry.method == METHOD_STORED) {
    status = copy_bytes(archive, output, entry.stored_size);
  } else if ((status = inflate_entry(archive, output, entry.stored_size, &produced)) != ERROR_ENTRY_DATA) {
    status = produced != entry.content_size ? ERROR_SIZE_MISMATCH : status;
  }
  file_close(archive);
  file_close(output);
  return {status, read_file(dir.path("out"))};
}

TEST(ArchiveEntrySplit, WritesEveryCutAsOneThreadDoes) {
  const stream_cut mixed = cut_of({1000, 40000, 64000});
  const stream_cut small = cut_of({1000, 700, 1500});
  const stream_cut planted = cut_of({64000, 64000, 40000}, 3000);
  const size_t streams = mixed.starts.size();
  auto damaged_at = [&](size_t stream) {
    entry_case entry = deflated_case(mixed);
    entry.data[mixed.starts[stream] + 100] ^= 0x20;
    return entry;
  };
  const auto content = static_cast<uint32_t>(mixed.content.size());
  const entry_case whole = deflated_case(mixed);
  entry_case longer = whole, shorter = whole, junk = whole, cut_short = whole, damaged_longer = damaged_at(streams - 1),
             missing = whole;
  longer.content_size += 1;
  shorter.content_size -= 1;
  junk.data += "junk after the last stream";
  junk.stored_size = static_cast<uint32_t>(junk.data.size());
  cut_short.stored_size -= 3;
  damaged_longer.content_size += 1;
  missing.stored_size += 20;
  struct {
    const char* what;
    entry_case entry;
    int expected;
  } cases[] = {
      {"streams of 1000, 40000 and 64000 bytes", whole, 0},
      {"streams all shorter than the search window", deflated_case(small), 0},
      {"whole false streams planted in stored blocks", deflated_case(planted), 0},
      {"stored data", {METHOD_STORED, mixed.content, content, content}, 0},
      {"a damaged first stream", damaged_at(0), ERROR_ENTRY_DATA},
      {"a damaged stream in the first half", damaged_at(streams / 3), ERROR_ENTRY_DATA},
      {"a damaged stream in the second half", damaged_at(streams * 3 / 4), ERROR_ENTRY_DATA},
      {"a damaged last stream", damaged_at(streams - 1), ERROR_ENTRY_DATA},
      {"damage and a wrong length", damaged_longer, ERROR_ENTRY_DATA},
      {"a content size one more", longer, ERROR_SIZE_MISMATCH},
      {"a content size one less", shorter, ERROR_SIZE_MISMATCH},
      {"junk after the last stream", junk, ERROR_ENTRY_DATA},
      {"data that ends inside its last stream", cut_short, ERROR_ENTRY_DATA},
      {"deflated data in an archive shorter than it claims", missing, ERROR_SIZE_MISMATCH},
      {"stored data in an archive shorter than it claims", {METHOD_STORED, mixed.content, content + 20, content + 20},
       ERROR_FILE_END},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    const written reference = write_entry(test.entry, 0);
    ASSERT_EQ(test.expected, reference.status) << "the case is not the one it claims to be";
    for (unsigned threads : THREAD_COUNTS) {
      SCOPED_TRACE(testing::Message() << threads << " threads");
      const written result = write_entry(test.entry, threads);
      EXPECT_EQ(reference.status, result.status);
      if (test.expected == 0) {
        EXPECT_TRUE(result.output == reference.output) << "the file must hold the content";
      }
    }
  }
}

TEST(ArchiveEntrySplit, NothingPastADamagedStreamIsWritten) {
  const stream_cut cut = cut_of({64000});
  const size_t damaged = cut.starts.size() * 3 / 4;
  entry_case entry = deflated_case(cut);
  entry.data[cut.starts[damaged] + 100] ^= 0x20;
  for (unsigned threads : THREAD_COUNTS) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    const written result = write_entry(entry, threads);
    EXPECT_EQ(ERROR_ENTRY_DATA, result.status);
    const size_t after = std::min((damaged + 1) * 64000, result.output.size());
    EXPECT_EQ(std::string::npos, result.output.find_first_not_of('\0', after))
        << "no unit past the damaged stream may be accepted";
  }
}

TEST(ArchiveEntrySplit, AnOutputThatRefusesWritesFailsAsAWriteNotALength) {
  const stream_cut cut = cut_of({64000});
  const auto content = static_cast<uint32_t>(cut.content.size());
  for (const entry_case& entry : {deflated_case(cut), entry_case{METHOD_STORED, cut.content, content, content}}) {
    SCOPED_TRACE(entry.method == METHOD_STORED ? "stored" : "deflated");
    for (unsigned threads : THREAD_COUNTS) {
      SCOPED_TRACE(testing::Message() << threads << " threads");
      EXPECT_EQ(ERROR_FILE_WRITE, write_entry(entry, threads, FILE_MODE_READ).status)
          << "a full disk must not read as data of the wrong length";
    }
  }
}

}  // namespace
