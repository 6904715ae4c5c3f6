// The stream pump with the file source and sink, inflate_entry over entries
// of several zlib streams with each inflate codec, and the deflate codec.
#include <cstring>

#include "archive/codecs.h"
#include "archive/extract.h"
#include "archive/layout.h"
#include "archive/pump.h"
#include "archive_fixture.h"
#include "foundation/file.h"

namespace {

class ArchivePumpByCodec : public inflate_codec_test {};
INSTANTIATE_FOR_EACH_INFLATE_CODEC(ArchivePumpByCodec);

TEST_P(ArchivePumpByCodec, InflatesEntriesOfSeveralStreamsWhereverTheBoundariesFall) {
  std::string boundary_at_block = stream_of_length(PUMP_BUFFER_SIZE);
  std::string one = text_of(64000, 1), two = random_bytes(30000, 2), three = text_of(12345, 3);
  struct {
    const char* what;
    std::string data;
    std::string content;
  } cases[] = {
      {"one stream", zlib_stream(one), one},
      {"three streams, boundaries inside input blocks", zlib_stream(one) + zlib_stream(two, 1) + zlib_stream(three),
       one + two + three},
      {"a boundary exactly at the end of a 64000-byte input block",
       boundary_at_block + zlib_stream(two, 0) + zlib_stream(three), inflate_stream(boundary_at_block) + two + three},
      {"incompressible streams spanning several input blocks",
       zlib_stream(two, 0) + zlib_stream(two, 0) + zlib_stream(two, 0) + zlib_stream(two, 0) + zlib_stream(two, 0),
       two + two + two + two + two},
      {"an empty stream between others", zlib_stream(three) + zlib_stream("") + zlib_stream(three), three + three},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    inflated result = inflate_bytes(test.data);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(test.content.size(), result.produced);
    EXPECT_TRUE(result.output == test.content) << "the content is the streams' outputs in order";
    EXPECT_EQ(static_cast<int>(test.data.size()), result.archive_position)
        << "not a byte past the stored length may be read";
  }
}

TEST_P(ArchivePumpByCodec, StoredLengthZeroInflatesNothing) {
  inflated result = inflate_bytes("");
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(0u, result.produced);
  EXPECT_EQ("", result.output);
  EXPECT_EQ(0, result.archive_position) << "the junk after an empty entry must not be read";
}

TEST_P(ArchivePumpByCodec, DamagedOrUnfinishedStreamsFailInsteadOfPassing) {
  std::string content = random_bytes(5000, 4);
  std::string stream = zlib_stream(content, 0);
  std::string flipped = stream;
  flipped[100] ^= 0x20;  // inside a stored block: same length, wrong check value
  struct {
    const char* what;
    std::string data;
    int expected;
  } cases[] = {
      {"a flipped byte under the check value", flipped, ERROR_ENTRY_DATA},
      {"a stream without its check value", stream.substr(0, stream.size() - 4), ERROR_ENTRY_DATA},
      {"data ending inside the second stream", stream + stream.substr(0, 50), ERROR_ENTRY_DATA},
      {"junk after a complete stream", stream + "garbage!", ERROR_ENTRY_DATA},
      {"not zlib data at all", std::string(300, 'x'), ERROR_ENTRY_DATA},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    inflated result = inflate_bytes(test.data);
    EXPECT_EQ(test.expected, result.status) << "damaged deflated data must not count as inflated";
  }
}

TEST_P(ArchivePumpByCodec, SourceEndingEarlyIsReported) {
  scratch_dir dir;
  std::string stream = zlib_stream(text_of(1000));
  write_file(dir.path("in"), stream);
  file_handle input = NO_FILE, output = NO_FILE;
  ASSERT_EQ(0, file_open(dir.path("in").c_str(), &input, FILE_MODE_READ));
  ASSERT_EQ(0, file_open(dir.path("out").c_str(), &output, FILE_MODE_CREATE));
  uint32_t produced = 99;
  EXPECT_EQ(ERROR_FILE_END, inflate_entry(input, output, static_cast<uint32_t>(stream.size() + 10), &produced))
      << "a stored length past the end of the file is a short read";
  EXPECT_EQ(0u, produced) << "the bytes of the short read are not inflated";
  file_close(input);
  file_close(output);
}

// An in-memory source of fixed blocks and a sink that collects output.
struct memory_source {
  std::vector<std::string> blocks;
  size_t next = 0;
};
int memory_source_read(void* context, const uint8_t** data, uint32_t* length) {
  auto* source = static_cast<memory_source*>(context);
  if (source->next == source->blocks.size()) return ERROR_SOURCE_END;
  const std::string& block = source->blocks[source->next++];
  *data = reinterpret_cast<const uint8_t*>(block.data());
  *length = static_cast<uint32_t>(block.size());
  return 0;
}
struct memory_sink {
  std::string collected;
  std::vector<size_t> writes;
  uint8_t buffer[1024];
};
int memory_sink_write(void* context, const uint8_t* data, uint32_t length) {
  auto* sink = static_cast<memory_sink*>(context);
  sink->collected.append(reinterpret_cast<const char*>(data), length);
  sink->writes.push_back(length);
  return 0;
}
uint8_t* memory_sink_buffer(void* context) { return static_cast<memory_sink*>(context)->buffer; }
uint32_t memory_sink_capacity(void*) { return sizeof memory_sink::buffer; }
const sink_table MEMORY_SINK = {memory_sink_write, memory_sink_buffer, memory_sink_capacity};

// Splits zlib streams laid end to end back into their outputs.
std::vector<std::string> inflate_each_stream(const std::string& data) {
  std::vector<std::string> outputs;
  z_stream stream{};
  EXPECT_EQ(Z_OK, inflateInit(&stream));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  while (stream.avail_in > 0) {
    std::string out(100000, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&stream, Z_FINISH);
    EXPECT_EQ(Z_STREAM_END, result);
    if (result != Z_STREAM_END) break;
    out.resize(out.size() - stream.avail_out);
    outputs.push_back(out);
    inflateReset(&stream);
  }
  inflateEnd(&stream);
  return outputs;
}

TEST_P(ArchivePumpByCodec, DeflateCodecFinishesOneStreamPerBlockAtAnyLevel) {
  std::vector<std::string> blocks = {text_of(64000, 5), random_bytes(64000, 6), "", text_of(10, 7)};
  for (int level : {9, 0, 6}) {
    SCOPED_TRACE(level);
    memory_source source{blocks};
    memory_sink sink;
    deflate_state state;
    if (level != 9) deflate_set_level(&state, level);
    ASSERT_EQ(0, stream_pump(memory_source_read, &source, &DEFLATE_CODEC, &state, &MEMORY_SINK, &sink));
    EXPECT_EQ(blocks, inflate_each_stream(sink.collected)) << "each block must come back as its own stream";
    for (size_t write : sink.writes) EXPECT_LE(write, sizeof sink.buffer);
    // The inflate codec reads them back through the same pump.
    memory_source compressed{{sink.collected}};
    memory_sink inflated_sink;
    inflate_state inflate_codec_state;
    ASSERT_EQ(0, stream_pump(memory_source_read, &compressed, GetParam().codec, &inflate_codec_state, &MEMORY_SINK,
                             &inflated_sink));
    EXPECT_TRUE(blocks[0] + blocks[1] + blocks[2] + blocks[3] == inflated_sink.collected);
  }
  EXPECT_EQ(9, deflate_state{}.level) << "level 9 by default";
  EXPECT_GE(deflate_state_size(), sizeof(z_stream));
  EXPECT_GE(inflate_state_size(), sizeof(z_stream));
}

TEST(ArchivePump, DeflateCodecRefusesABadLevel) {
  memory_source source{{"data"}};
  memory_sink sink;
  deflate_state state;
  deflate_set_level(&state, 42);
  EXPECT_EQ(ERROR_CODEC, stream_pump(memory_source_read, &source, &DEFLATE_CODEC, &state, &MEMORY_SINK, &sink));
}

}  // namespace
