// split_write_entry on hand-made cuts of zlib streams, each written on 1, 2
// and 4 threads and held against the one-thread path (inflate_entry, or
// copy_bytes, with extract's rule: damage before length).
#include <algorithm>
#include <initializer_list>

#include "archive/entry_split.h"
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

// One zlib stream whose header declares a window of 2^bits bytes.
std::string windowed_stream(const std::string& text, int bits) {
  z_stream stream{};
  EXPECT_EQ(Z_OK, deflateInit2(&stream, 6, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY));
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(Z_STREAM_END, deflate(&stream, Z_FINISH));
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Streams of the given content lengths in turn until the data holds more than
// SPLIT_ENTRY_MIN bytes; every third is text, the others random (stored
// blocks). plant_every puts a whole zlib stream of its own inside the random
// content every so many bytes, so that stored blocks carry false starts.
stream_cut cut_of(std::initializer_list<size_t> lengths, size_t plant_every = 0, int window_bits = 15) {
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
      cut.data += windowed_stream(part, window_bits);
      cut.content += part;
      ++seed;
    }
  }
  return cut;
}

struct written {
  int status;
  std::string output;
};

struct entry_case {
  uint16_t method;
  std::string data;
  uint32_t stored_size;
  uint32_t content_size;
};

class split_files {
 public:
  explicit split_files(const entry_case& entry) : entry_(entry) {
    write_file(dir_.path("archive"), PREFIX + entry.data);
    header_.method = entry.method;
    header_.stored_size = entry.stored_size;
    header_.content_size = entry.content_size;
  }

  written split(unsigned threads, uint32_t output_mode = FILE_MODE_NEW) {
    return run([&](file_handle archive, file_handle output) {
      return split_write_entry(archive, header_, static_cast<uint32_t>(PREFIX.size()), output, threads);
    }, output_mode);
  }

  // extract.cpp's write_data over the same bytes.
  written one_thread() {
    return run([&](file_handle archive, file_handle output) {
      file_seek(archive, static_cast<int32_t>(PREFIX.size()), FILE_SEEK_SET);
      if (header_.method == METHOD_STORED) return copy_bytes(archive, output, header_.stored_size);
      uint32_t produced = 0;
      const int status = inflate_entry(archive, output, header_.stored_size, &produced);
      if (status == ERROR_ENTRY_DATA) return status;
      return produced != header_.content_size ? ERROR_SIZE_MISMATCH : status;
    }, FILE_MODE_NEW);
  }

 private:
  template <typename write_function>
  written run(write_function write, uint32_t output_mode) {
    const std::string path = dir_.path("out" + std::to_string(runs_++));
    if (output_mode != FILE_MODE_NEW) write_file(path, "");
    file_handle archive = NO_FILE, output = NO_FILE;
    EXPECT_EQ(0, file_open(dir_.path("archive").c_str(), &archive, FILE_MODE_READ));
    EXPECT_EQ(0, file_open(path.c_str(), &output, output_mode));
    const int status = write(archive, output);
    file_close(archive);
    file_close(output);
    return {status, read_file(path)};
  }

  scratch_dir dir_;
  entry_case entry_;
  entry_header header_{};
  int runs_ = 0;
};

entry_case deflated_case(const stream_cut& cut) {
  return {METHOD_DEFLATED, cut.data, static_cast<uint32_t>(cut.data.size()),
          static_cast<uint32_t>(cut.content.size())};
}

// Every thread count gives the one-thread status, and the same file where
// that succeeds.
void expect_as_one_thread(const entry_case& entry, int expected) {
  split_files files(entry);
  const written reference = files.one_thread();
  ASSERT_EQ(expected, reference.status) << "the case is not the one it claims to be";
  for (unsigned threads : THREAD_COUNTS) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    const written result = files.split(threads);
    EXPECT_EQ(reference.status, result.status);
    if (expected == 0) {
      EXPECT_TRUE(result.output == reference.output) << "the file must hold the content";
    }
  }
}

TEST(ArchiveEntrySplit, WritesEveryCutOfStreamsAsOneThreadDoes) {
  const stream_cut mixed = cut_of({1000, 40000, 64000});
  const stream_cut small = cut_of({1000, 700, 1500});
  const stream_cut planted = cut_of({64000, 64000, 40000}, 3000);
  const stream_cut small_window = cut_of({64000, 40000}, 0, 9);
  struct {
    const char* what;
    entry_case entry;
  } cases[] = {
      {"streams of 1000, 40000 and 64000 bytes", deflated_case(mixed)},
      {"streams all shorter than the search window", deflated_case(small)},
      {"whole false streams planted in stored blocks", deflated_case(planted)},
      {"streams declaring a small window", deflated_case(small_window)},
      {"stored data", {METHOD_STORED, mixed.content, static_cast<uint32_t>(mixed.content.size()),
                       static_cast<uint32_t>(mixed.content.size())}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    expect_as_one_thread(test.entry, 0);
  }
}

TEST(ArchiveEntrySplit, DamageAndWrongLengthsGiveTheOneThreadStatusWhereverTheyLie) {
  const stream_cut cut = cut_of({1000, 40000, 64000});
  const size_t streams = cut.starts.size();
  auto damaged_at = [&](size_t stream) {
    entry_case entry = deflated_case(cut);
    entry.data[cut.starts[stream] + 100] ^= 0x20;
    return entry;
  };
  entry_case longer = deflated_case(cut), shorter = deflated_case(cut), junk = deflated_case(cut),
             cut_short = deflated_case(cut), damaged_and_longer = damaged_at(streams - 1);
  longer.content_size += 1;
  shorter.content_size -= 1;
  junk.data += "junk after the last stream";
  junk.stored_size = static_cast<uint32_t>(junk.data.size());
  cut_short.stored_size -= 3;
  damaged_and_longer.content_size += 1;
  struct {
    const char* what;
    entry_case entry;
    int expected;
  } cases[] = {
      {"a damaged first stream", damaged_at(0), ERROR_ENTRY_DATA},
      {"a damaged stream in the first half", damaged_at(streams / 3), ERROR_ENTRY_DATA},
      {"a damaged stream in the second half", damaged_at(streams * 3 / 4), ERROR_ENTRY_DATA},
      {"a damaged last stream", damaged_at(streams - 1), ERROR_ENTRY_DATA},
      {"damage and a wrong length", damaged_and_longer, ERROR_ENTRY_DATA},
      {"a content size one more", longer, ERROR_SIZE_MISMATCH},
      {"a content size one less", shorter, ERROR_SIZE_MISMATCH},
      {"junk after the last stream", junk, ERROR_ENTRY_DATA},
      {"data that ends inside its last stream", cut_short, ERROR_ENTRY_DATA},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    expect_as_one_thread(test.entry, test.expected);
  }
}

TEST(ArchiveEntrySplit, NothingPastADamagedStreamIsWritten) {
  const stream_cut cut = cut_of({64000});
  const size_t damaged = cut.starts.size() * 3 / 4;
  entry_case entry = deflated_case(cut);
  entry.data[cut.starts[damaged] + 100] ^= 0x20;
  split_files files(entry);
  for (unsigned threads : THREAD_COUNTS) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    const written result = files.split(threads);
    EXPECT_EQ(ERROR_ENTRY_DATA, result.status);
    const size_t after = std::min((damaged + 1) * 64000, result.output.size());
    EXPECT_EQ(std::string::npos, result.output.find_first_not_of('\0', after))
        << "no unit past the damaged stream may be accepted";
  }
}

TEST(ArchiveEntrySplit, AnArchiveShorterThanItClaimsFailsAsOneThreadDoes) {
  const stream_cut cut = cut_of({64000});
  const std::string missing = "the last bytes are not there";
  const auto size = static_cast<uint32_t>(cut.data.size() + missing.size());
  struct {
    const char* what;
    entry_case entry;
    int expected;
  } cases[] = {
      {"stored", {METHOD_STORED, cut.data, size, size}, ERROR_FILE_END},
      {"deflated", {METHOD_DEFLATED, cut.data, size, static_cast<uint32_t>(cut.content.size())},
       ERROR_SIZE_MISMATCH},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    expect_as_one_thread(test.entry, test.expected);
  }
}

TEST(ArchiveEntrySplit, AnOutputThatRefusesWritesFailsAsAWriteNotALength) {
  const stream_cut cut = cut_of({64000});
  const auto content = static_cast<uint32_t>(cut.content.size());
  for (const entry_case& entry : {deflated_case(cut), entry_case{METHOD_STORED, cut.content, content, content}}) {
    SCOPED_TRACE(entry.method == METHOD_STORED ? "stored" : "deflated");
    split_files files(entry);
    for (unsigned threads : THREAD_COUNTS) {
      SCOPED_TRACE(testing::Message() << threads << " threads");
      EXPECT_EQ(ERROR_FILE_WRITE, files.split(threads, FILE_MODE_READ).status)
          << "a full disk must not read as data of the wrong length";
    }
  }
}

}  // namespace
