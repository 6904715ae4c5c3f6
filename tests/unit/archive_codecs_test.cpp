// The inflate codecs side by side: every codec of the build writes the same
// file and finds the same damage, whatever the input blocks look like, and the
// libdeflate codec's carry comes from the pool and goes back to it.
#include <algorithm>
#include <cstring>

#include "archive/codecs.h"
#include "archive/extract.h"
#include "archive/layout.h"
#include "archive/pump.h"
#include "archive_fixture.h"
#include "foundation/pool.h"

namespace {

// A stream that needs a preset dictionary, which no entry can supply.
std::string dictionary_stream(const std::string& text) {
  z_stream stream{};
  EXPECT_EQ(Z_OK, deflateInit(&stream, 9));
  const char dictionary[] = "alpha beta gamma";
  deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary - 1);
  std::string out(text.size() + 1000, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(Z_STREAM_END, deflate(&stream, Z_FINISH));
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string flip(std::string data, size_t at, char bits = 0x10) {
  data[at] = static_cast<char>(data[at] ^ bits);
  return data;
}

TEST(ArchiveCodecs, EveryCodecWritesTheSameFileAndFindsTheSameDamage) {
  const std::string one = text_of(64000, 11), two = random_bytes(30000, 12), three = text_of(20000, 13);
  const std::string s1 = zlib_stream(one), s2 = zlib_stream(two, 0), s3 = zlib_stream(three);
  const std::string at_block = stream_of_length(PUMP_BUFFER_SIZE);
  const std::string big = text_of(200000, 14);
  const std::string long_content = text_of(30000, 15);
  const std::string long_stream = flushed_stream(long_content, 1);
  ASSERT_GT(long_stream.size(), size_t{INFLATE_CARRY_SIZE}) << "the flushed stream must outgrow the carry";
  const std::string stored_a = zlib_stream(random_bytes(50000, 16), 0), stored_b = zlib_stream(random_bytes(30000, 17), 0);
  struct {
    const char* what;
    std::string data;
    int expected;
    std::string content;           // the whole output when expected is 0
    bool partial_may_differ = false;  // see below
  } cases[] = {
      {"three streams in one entry", s1 + s2 + s3, 0, one + two + three},
      {"a stream boundary exactly at a 64000-byte input block", at_block + s3 + s1, 0,
       inflate_stream(at_block) + three + one},
      {"a stream inflating to more than 64000 bytes, between others", s3 + zlib_stream(big) + s3, 0,
       three + big + three},
      {"a stream longer than the carry", s3 + long_stream + s3, 0, three + long_content + three},
      {"an empty stream", zlib_stream(""), 0, ""},
      {"no data at all", "", 0, ""},
      {"a flipped byte in a compressed block", s3 + flip(s1, s1.size() / 2) + s3, ERROR_ENTRY_DATA, ""},
      {"a flipped byte in a stored block", s3 + flip(s2, 1000) + s3, ERROR_ENTRY_DATA, ""},
      {"a wrong Adler-32", s1 + flip(s3, s3.size() - 1, 1), ERROR_ENTRY_DATA, ""},
      {"a flipped header byte", s1 + flip(s3, 1, 1), ERROR_ENTRY_DATA, ""},
      {"a stream that needs a dictionary", s3 + dictionary_stream(three), ERROR_ENTRY_DATA, ""},
      {"truncated in the middle of the last stream", s1 + s2 + s3.substr(0, s3.size() / 2), ERROR_ENTRY_DATA, ""},
      {"truncated in a stream spanning input blocks", s1 + s2 + s1 + s2.substr(0, 20000), ERROR_ENTRY_DATA, ""},
      {"truncated inside the check value", s1 + s3.substr(0, s3.size() - 2), ERROR_ENTRY_DATA, ""},
      {"garbage after the last stream", s1 + s3 + "garbage after the end", ERROR_ENTRY_DATA, ""},
      {"one stray byte after the last stream", s1 + s3 + "x", ERROR_ENTRY_DATA, ""},
      {"a zlib header and nothing more after the last stream", s1 + s3.substr(0, 2), ERROR_ENTRY_DATA, ""},
      {"not zlib data at all", std::string(70000, 'x'), ERROR_ENTRY_DATA, ""},
      // The damaged second stream begins in the first input block: the zlib
      // codec has already written what it inflated of it when the check value
      // fails, the libdeflate codec writes complete streams only.
      {"damage found in a later block than the stream began", stored_a + flip(stored_b, 10000), ERROR_ENTRY_DATA, "",
       true},
  };
  const auto codecs = inflate_codecs();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    std::vector<inflated> results;
    for (const inflate_codec_choice& codec : codecs) {
      SCOPED_TRACE(codec.name);
      inflate_entry_codec = codec.codec;
      inflated result = inflate_bytes(test.data);
      EXPECT_EQ(test.expected, result.status) << "each codec must give the same status for the same data";
      if (test.expected == 0) {
        EXPECT_EQ(test.content.size(), result.produced);
        EXPECT_TRUE(test.content == result.output) << "the file is the streams' outputs in order";
      }
      EXPECT_EQ(result.output.size(), result.produced) << "produced counts what was written";
      EXPECT_LE(result.archive_position, static_cast<int>(test.data.size()))
          << "not a byte past the stored length may be read";
      if (test.expected == 0) {
        EXPECT_EQ(static_cast<int>(test.data.size()), result.archive_position) << "all of the data is read";
      }
      results.push_back(result);
    }
    inflate_entry_codec = codecs.front().codec;
    const inflated& zlib = results.back();  // zlib comes last
    for (size_t i = 0; i + 1 < results.size(); ++i) {
      SCOPED_TRACE(codecs[i].name);
      if (test.partial_may_differ) {
        EXPECT_TRUE(zlib.output.compare(0, results[i].output.size(), results[i].output) == 0)
            << "what a failed entry keeps must be a prefix of what the zlib codec wrote";
      } else {
        EXPECT_TRUE(zlib.output == results[i].output) << "the same file as the zlib codec, even after a failure";
      }
    }
  }
}

// An in-memory source that hands the data out in blocks of the given sizes,
// the last size repeating, and a sink of a chosen capacity.
struct block_source {
  const std::string* data;
  std::vector<size_t> sizes;
  size_t at = 0, block = 0;
};
int block_source_read(void* context, const uint8_t** data, uint32_t* length) {
  auto* source = static_cast<block_source*>(context);
  if (source->at == source->data->size()) return ERROR_SOURCE_END;
  size_t size = source->sizes[std::min(source->block++, source->sizes.size() - 1)];
  size = std::min(size, source->data->size() - source->at);
  *data = reinterpret_cast<const uint8_t*>(source->data->data() + source->at);
  *length = static_cast<uint32_t>(size);
  source->at += size;
  return 0;
}
struct vector_sink {
  std::vector<uint8_t> buffer;
  std::string collected;
};
int vector_sink_write(void* context, const uint8_t* data, uint32_t length) {
  auto* sink = static_cast<vector_sink*>(context);
  EXPECT_LE(length, sink->buffer.size()) << "a codec must not produce more than the capacity";
  sink->collected.append(reinterpret_cast<const char*>(data), length);
  return 0;
}
uint8_t* vector_sink_buffer(void* context) { return static_cast<vector_sink*>(context)->buffer.data(); }
uint32_t vector_sink_capacity(void* context) {
  return static_cast<uint32_t>(static_cast<vector_sink*>(context)->buffer.size());
}
const sink_table VECTOR_SINK = {vector_sink_write, vector_sink_buffer, vector_sink_capacity};

class ArchiveCodecsByCodec : public inflate_codec_test {};
INSTANTIATE_FOR_EACH_INFLATE_CODEC(ArchiveCodecsByCodec);

TEST_P(ArchiveCodecsByCodec, AnyInputBlocksAndOutputCapacityGiveTheSameContent) {
  const std::string a = text_of(64000, 21), b = random_bytes(64000, 22), c = text_of(777, 23);
  const std::string data = zlib_stream(a) + zlib_stream(b, 0) + zlib_stream(c) + zlib_stream(text_of(150000, 24)) +
                           flushed_stream(c, 3) + zlib_stream(a, 1);
  const std::string content = a + b + c + text_of(150000, 24) + c + a;
  struct {
    const char* what;
    std::vector<size_t> blocks;
    uint32_t capacity;
  } cases[] = {
      {"64000-byte blocks", {64000}, 64000},
      {"one block larger than the carry", {data.size()}, 64000},
      {"single bytes", {1}, 64000},
      {"odd blocks", {7, 100000, 3, 65535, 1}, 64000},
      {"a small output buffer", {64000}, 1000},
  };
  for (const auto& test : cases) {
    for (bool total_known : {true, false}) {
      SCOPED_TRACE(std::string(test.what) + (total_known ? ", total known" : ", total unknown"));
      block_source source{&data, test.blocks};
      vector_sink sink{std::vector<uint8_t>(test.capacity), {}};
      inflate_state state;
      if (total_known) state.input_total = static_cast<uint32_t>(data.size());
      EXPECT_EQ(0, stream_pump(block_source_read, &source, GetParam().codec, &state, &VECTOR_SINK, &sink));
      EXPECT_TRUE(content == sink.collected) << "the content must not depend on how the input is cut";
    }
  }
}

#if QPK_HAVE_LIBDEFLATE
// Free pool space for the two pump buffers but not for the carry.
TEST(ArchiveCodecs, LibdeflateCarryComesFromThePoolAndGoesBack) {
  uint32_t largest_free = 0;
  for (uint16_t i = 0; i < pool_count(); ++i)
    if ((pool_blocks()[i].flags & 1) == 0) largest_free = std::max(largest_free, pool_blocks()[i].size);
  ASSERT_GT(largest_free, 2 * PUMP_BUFFER_SIZE + INFLATE_CARRY_SIZE);
  void* filler = pool_alloc(largest_free - 2 * PUMP_BUFFER_SIZE - 1000);
  ASSERT_NE(nullptr, filler);
  const uint16_t blocks_before = pool_count();
  const std::string content = text_of(5000, 31);
  inflate_entry_codec = &LIBDEFLATE_INFLATE_CODEC;
  inflated starved = inflate_bytes(zlib_stream(content));
  EXPECT_EQ(ERROR_SYSTEM_MEMORY, starved.status) << "no pool block for the carry must be reported, not ignored";
  EXPECT_EQ(0u, starved.produced);
  EXPECT_EQ(blocks_before, pool_count()) << "the pump buffers must go back to the pool";
  ASSERT_EQ(0, pool_free(filler));
  inflated fed = inflate_bytes(zlib_stream(content));
  inflate_entry_codec = inflate_codecs().front().codec;
  EXPECT_EQ(0, fed.status);
  EXPECT_TRUE(content == fed.output);
  for (uint16_t i = 0; i < pool_count(); ++i)
    EXPECT_EQ(0, pool_blocks()[i].flags & 1) << "the carry must go back to the pool after the entry";
}
#endif

}  // namespace
