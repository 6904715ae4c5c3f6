// The practical limit for deflated data: loads a whole archive (plain or
// attached to a self-extractor) into memory, inflates every deflated entry's
// zlib streams into one reused 64000-byte buffer and throws the output away.
// Prints the seconds (wall and processor) spent inflating only, so that file
// reading is not counted.
//   raw_inflate [--libdeflate] ARCHIVE
// Exit status 1 when an entry is damaged or inflates to a length other than
// its content size: a baseline that did less work would flatter nobody.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <libdeflate.h>
#include <string_view>
#include <vector>
#include <zlib.h>

#include "archive/layout.h"
#include "foundation/little_endian.h"

namespace {

constexpr uint32_t OUTPUT_SIZE = 64000;  // one stream never inflates to more

struct totals {
  uint64_t entries = 0;
  uint64_t streams = 0;
  uint64_t content = 0;
};

bool load(const char* path, std::vector<uint8_t>& data) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  uint8_t chunk[1 << 16];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
  bool ok = !ferror(file);
  fclose(file);
  return ok;
}

// Where the archive starts: at 0 for a plain archive, else where the trailer says.
bool find_archive(const std::vector<uint8_t>& data, size_t* start) {
  // The signature and its zero must match; the rest of the field is not read.
  auto matches = [&](size_t at) {
    return at <= data.size() && data.size() - at >= SIGNATURE_FIELD_SIZE &&
           memcmp(&data[at], ARCHIVE_SIGNATURE, sizeof ARCHIVE_SIGNATURE) == 0;
  };
  if (matches(0)) return *start = 0, true;
  if (data.size() < TRAILER_SIZE) return false;
  *start = le_u32(&data[data.size() - TRAILER_SIZE]);
  return matches(*start);
}

// Inflates the zlib streams laid end to end in [in, in + size); returns the
// total output, or -1 when a stream is damaged or would overflow the buffer.
int64_t inflate_zlib(z_stream* stream, const uint8_t* in, size_t size, uint8_t* out, totals* t) {
  int64_t produced = 0;
  while (size > 0) {
    if (inflateReset(stream) != Z_OK) return -1;
    stream->next_in = const_cast<uint8_t*>(in);
    stream->avail_in = static_cast<uInt>(size);
    stream->next_out = out;
    stream->avail_out = OUTPUT_SIZE;
    if (inflate(stream, Z_FINISH) != Z_STREAM_END) return -1;
    size_t used = size - stream->avail_in;
    in += used;
    size -= used;
    produced += OUTPUT_SIZE - stream->avail_out;
    ++t->streams;
  }
  return produced;
}

int64_t inflate_libdeflate(libdeflate_decompressor* d, const uint8_t* in, size_t size, uint8_t* out,
                           totals* t) {
  int64_t produced = 0;
  while (size > 0) {
    size_t used = 0, made = 0;
    if (libdeflate_zlib_decompress_ex(d, in, size, out, OUTPUT_SIZE, &used, &made) != LIBDEFLATE_SUCCESS)
      return -1;
    in += used;
    size -= used;
    produced += made;
    ++t->streams;
  }
  return produced;
}

}  // namespace

int main(int argc, char** argv) {
  bool use_libdeflate = argc == 3 && std::string_view(argv[1]) == "--libdeflate";
  if (argc != 2 && !use_libdeflate) {
    fprintf(stderr, "usage: raw_inflate [--libdeflate] ARCHIVE\n");
    return 2;
  }
  const char* path = argv[argc - 1];
  std::vector<uint8_t> data;
  size_t start = 0;
  if (!load(path, data) || !find_archive(data, &start)) {
    fprintf(stderr, "raw_inflate: %s is not a readable archive\n", path);
    return 1;
  }
  // A self-extractor's trailer is too short to be a header, so it ends the walk.
  size_t end = start == 0 ? data.size() : data.size() - TRAILER_SIZE;
  std::vector<uint8_t> output(OUTPUT_SIZE);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return 1;
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (!decompressor) return 1;

  totals t;
  auto begin = std::chrono::steady_clock::now();
  std::clock_t cpu_begin = std::clock();
  for (size_t at = start + SIGNATURE_FIELD_SIZE; end - at >= sizeof(entry_header);) {
    entry_header header;
    memcpy(&header, &data[at], sizeof header);
    at += sizeof header;
    if (header.stored_size > end - at) {
      fprintf(stderr, "raw_inflate: entry %.127s reaches past the end\n", header.name);
      return 1;
    }
    if (header.method == METHOD_DEFLATED) {
      int64_t produced = use_libdeflate
                             ? inflate_libdeflate(decompressor, &data[at], header.stored_size, output.data(), &t)
                             : inflate_zlib(&stream, &data[at], header.stored_size, output.data(), &t);
      if (produced != header.content_size) {
        fprintf(stderr, "raw_inflate: entry %.127s inflates to %lld bytes, not %u\n", header.name,
                static_cast<long long>(produced), header.content_size);
        return 1;
      }
      ++t.entries;
      t.content += header.content_size;
    }
    at += header.stored_size;
  }
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
  double cpu_spent = static_cast<double>(std::clock() - cpu_begin) / CLOCKS_PER_SEC;
  inflateEnd(&stream);
  libdeflate_free_decompressor(decompressor);
  printf("seconds=%.6f cpu_seconds=%.6f entries=%llu streams=%llu bytes=%llu\n", spent.count(), cpu_spent,
         static_cast<unsigned long long>(t.entries), static_cast<unsigned long long>(t.streams),
         static_cast<unsigned long long>(t.content));
  return 0;
}
