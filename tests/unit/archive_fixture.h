// Fixtures for the archive engine's tests: archives written field by field at
// their byte offsets with zlib directly (independent of the engine's own
// layout records and codecs), the foundation services started once, and
// recording callbacks with scripted answers.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "archive/access.h"
#include "archive/pump.h"
#include "foundation/file.h"
#include "foundation/foundation.h"
#include "test_util.h"

// Starts the foundation services and the engine once for the test program.
class archive_environment : public ::testing::Environment {
 public:
  void SetUp() override {
    const uint32_t pool_size = 1000000;
    ASSERT_EQ(0, foundation_init(&pool_size));
    ASSERT_EQ(0, archive_init());
  }
  void TearDown() override {
    archive_close();
    foundation_term();
  }
};
inline ::testing::Environment* const archive_environment_instance =
    ::testing::AddGlobalTestEnvironment(new archive_environment);

// Runs each test of a suite once per inflate codec of the build, with
// inflate_entry switched to it. Derive a suite's fixture from it and name the
// suite in INSTANTIATE_FOR_EACH_INFLATE_CODEC.
class inflate_codec_test : public ::testing::TestWithParam<inflate_codec_choice> {
 protected:
  void SetUp() override { inflate_entry_codec = GetParam().codec; }
  void TearDown() override { inflate_entry_codec = inflate_codecs().front().codec; }
};
inline void PrintTo(const inflate_codec_choice& choice, std::ostream* out) { *out << choice.name; }
inline std::string inflate_codec_name(const ::testing::TestParamInfo<inflate_codec_choice>& info) {
  return info.param.name;
}
#define INSTANTIATE_FOR_EACH_INFLATE_CODEC(suite)                                                          \
  INSTANTIATE_TEST_SUITE_P(Codec, suite, ::testing::ValuesIn(inflate_codecs().begin(), inflate_codecs().end()), \
                           inflate_codec_name)

// ---- archive bytes ----
inline void put_u16(std::string& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}
inline void put_u32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
inline uint32_t get_u32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

inline std::string signature_field(const std::string& text) {
  std::string field(32, '\0');
  field.replace(0, text.size(), text);
  return field;
}

struct test_entry {
  std::string name;
  uint16_t method = 2;
  std::string data;  // the bytes after the header
  uint32_t content_size = 0;
  uint32_t stored_size = 0;
  uint32_t attributes = 0;
  uint16_t dos_date = (44 << 9) | (3 << 5) | 15;  // 2024-03-15
  uint16_t dos_time = (13 << 11) | (45 << 5) | 10;  // 13:45:20
};

// One zlib stream (2-byte header, deflate data, Adler-32) of the text.
inline std::string zlib_stream(const std::string& text, int level = 9) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  int result = compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                         static_cast<uLong>(text.size()), level);
  EXPECT_EQ(Z_OK, result);
  out.resize(size);
  return out;
}

// One zlib stream of the text with a sync flush after every `step` bytes:
// each flush adds an empty stored block, so the stream is far longer than its
// output.
inline std::string flushed_stream(const std::string& text, size_t step) {
  z_stream stream{};
  EXPECT_EQ(Z_OK, deflateInit(&stream, 1));
  std::string out;
  char chunk[4096];
  for (size_t at = 0; at <= text.size(); at += step) {
    size_t count = std::min(step, text.size() - at);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
    stream.avail_in = static_cast<uInt>(count);
    int flush = at + count == text.size() ? Z_FINISH : Z_SYNC_FLUSH;
    int result = Z_OK;
    do {
      stream.next_out = reinterpret_cast<Bytef*>(chunk);
      stream.avail_out = sizeof chunk;
      result = deflate(&stream, flush);
      out.append(chunk, sizeof chunk - stream.avail_out);
    } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END && result >= 0));
    if (flush == Z_FINISH) break;
  }
  deflateEnd(&stream);
  return out;
}

inline test_entry stored(const std::string& name, const std::string& content) {
  test_entry entry;
  entry.name = name;
  entry.data = content;
  entry.content_size = entry.stored_size = static_cast<uint32_t>(content.size());
  return entry;
}

// A deflated entry: one stream per block of at most 64000 bytes.
inline test_entry deflated(const std::string& name, const std::string& content, size_t block = 64000) {
  test_entry entry;
  entry.name = name;
  entry.method = 1;
  for (size_t at = 0; at < content.size(); at += block) entry.data += zlib_stream(content.substr(at, block));
  entry.content_size = static_cast<uint32_t>(content.size());
  entry.stored_size = static_cast<uint32_t>(entry.data.size());
  return entry;
}

inline std::string entry_bytes(const test_entry& entry) {
  std::string header(146, '\0');
  header.replace(0, std::min<size_t>(entry.name.size(), 128), entry.name.substr(0, 128));
  put_u16(header, 128, entry.dos_date);
  put_u16(header, 130, entry.dos_time);
  put_u16(header, 132, entry.method);
  put_u32(header, 134, entry.content_size);
  put_u32(header, 138, entry.stored_size);
  put_u32(header, 142, entry.attributes);
  return header + entry.data;
}

inline std::string make_archive(std::initializer_list<test_entry> entries) {
  std::string bytes = signature_field("QOR ARCHIVE FORMAT 2.0");
  for (const test_entry& entry : entries) bytes += entry_bytes(entry);
  return bytes;
}

// A self-extractor: stub, option block, archive, trailer.
inline std::string make_self_extractor(const std::string& stub, const std::string& archive, uint32_t flags = 1) {
  std::string block = signature_field("QOR SE ARCHIVE FORMAT 2.0") + std::string(324 - 32, '\0');
  put_u32(block, 32, flags);
  std::string trailer(4, '\0');
  put_u32(trailer, 0, static_cast<uint32_t>(stub.size() + block.size()));
  return stub + block + archive + trailer;
}

inline std::string text_of(size_t size, unsigned seed = 1) {
  static const char* const words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta, "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += words[random() % 6];
  text.resize(size);
  return text;
}

inline std::string random_bytes(size_t size, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// ---- the recording callback ----
struct recorded_event {
  unsigned event;
  std::string text;
};
inline std::vector<recorded_event> recorded_events;
// The answer to an event code from its n-th occurrence (counting from 1) on;
// every other call is answered 0.
struct scripted_answer {
  unsigned event;
  int from_occurrence;
  int answer;
};
inline std::vector<scripted_answer> scripted_answers;

inline int record_event(unsigned event, const char* text) {
  recorded_events.push_back({event, text != nullptr ? text : ""});
  int occurrence = 0;
  for (const recorded_event& seen : recorded_events) occurrence += seen.event == event;
  for (const scripted_answer& script : scripted_answers)
    if (script.event == event && occurrence >= script.from_occurrence) return script.answer;
  return 0;
}

// Progress reports are recorded among the events under this code of the
// tests' own, as "files done, total, written, bytes done, total".
constexpr unsigned RECORDED_PROGRESS = 1000;

inline int record_progress(const extract_progress& progress) {
  const std::string text = std::to_string(progress.files_done) + " " + std::to_string(progress.files_total) + " " +
                           std::to_string(progress.files_written) + " " + std::to_string(progress.bytes_done) + " " +
                           std::to_string(progress.bytes_total);
  return record_event(RECORDED_PROGRESS, text.c_str());
}

inline void start_recording(std::vector<scripted_answer> answers = {}) {
  recorded_events.clear();
  scripted_answers = std::move(answers);
  archive_set_notify(record_event);
  archive_set_progress(record_progress);
}

inline void stop_recording() {
  archive_set_notify(nullptr);
  archive_set_progress(nullptr);
}

inline std::vector<recorded_event> events_of(unsigned event) {
  std::vector<recorded_event> found;
  for (const recorded_event& seen : recorded_events)
    if (seen.event == event) found.push_back(seen);
  return found;
}

// ---- inflate_entry on bytes in a file ----
struct inflated {
  int status;
  uint32_t produced;
  std::string output;
  int archive_position;  // where the input file was left, from the data's start
};

// Writes prefix + data + junk to a file and inflates data from its offset
// with inflate_entry's current codec.
inline inflated inflate_bytes(const std::string& data, const std::string& junk = "JUNK-AFTER-THE-DATA") {
  scratch_dir dir;
  const std::string prefix = "PREFIX";
  write_file(dir.path("in"), prefix + data + junk);
  file_handle input = NO_FILE, output = NO_FILE;
  EXPECT_EQ(0, file_open(dir.path("in").c_str(), &input, FILE_MODE_READ));
  EXPECT_EQ(0, file_open(dir.path("out").c_str(), &output, FILE_MODE_CREATE));
  file_seek(input, static_cast<int32_t>(prefix.size()), FILE_SEEK_SET);
  inflated result{};
  result.status = inflate_entry(input, output, static_cast<uint32_t>(data.size()), &result.produced);
  file_tell(input, &result.archive_position);
  result.archive_position -= static_cast<int>(prefix.size());
  file_close(input);
  file_close(output);
  result.output = read_file(dir.path("out"));
  return result;
}

// Random bytes whose zlib stream at level 0 is exactly `compressed` bytes long.
inline std::string stream_of_length(size_t compressed) {
  for (size_t size = compressed - 40; size < compressed; ++size) {
    std::string stream = zlib_stream(random_bytes(size, static_cast<unsigned>(size)), 0);
    if (stream.size() == compressed) return stream;
  }
  ADD_FAILURE() << "no level-0 stream of " << compressed << " bytes";
  return {};
}

// The output of one zlib stream (at most 1 MB).
inline std::string inflate_stream(const std::string& stream) {
  std::string out(1000000, '\0');
  uLongf size = out.size();
  EXPECT_EQ(Z_OK, uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size())));
  out.resize(size);
  return out;
}
