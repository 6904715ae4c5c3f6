// The stream pump: data moves from a source through a codec into a sink, one
// buffer at a time. inflate_entry inflates a deflated entry (one or more zlib
// streams laid end to end, each at most 64000 bytes of output) from file to
// file through two 64000-byte pool buffers (and the libdeflate codec's carry,
// from the pool too); extraction threads use entry_data.h instead.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/file.h"

constexpr int ERROR_CODEC = -501;
constexpr int ERROR_SOURCE_END = -502;
constexpr uint32_t PUMP_BUFFER_SIZE = 64000;

// process returns 1 (more output waits: call again without input), 0 (input
// used up) or a negative status; produced is what it placed at output.
struct codec_table {
  int (*init)(void* state);
  int (*end)(void* state);
  int (*process)(void* state, const uint8_t* input, uint32_t input_length,
                 uint8_t* output, uint32_t capacity, uint32_t* produced);
};
// Hands out data it owns; ERROR_SOURCE_END when it has nothing more.
using source_read = int (*)(void* context, const uint8_t** data, uint32_t* length);
struct sink_table {
  int (*write)(void* context, const uint8_t* data, uint32_t length);
  uint8_t* (*buffer)(void* context);
  uint32_t (*capacity)(void* context);
};

int stream_pump(source_read read, void* source, const codec_table* codec, void* codec_state,
                const sink_table* sink, void* sink_context);

struct file_source {
  file_handle file;
  uint8_t* buffer;
  uint32_t size;
  uint32_t total;
  uint32_t delivered;
};
struct file_sink {
  file_handle file;
  uint8_t* buffer;
  uint32_t capacity;
  uint32_t written;
};
int file_source_read(void* context, const uint8_t** data, uint32_t* length);
extern const sink_table FILE_SINK;

// Codec states are opaque records the caller provides, of these sizes.
extern const codec_table INFLATE_CODEC;
#if QPK_HAVE_LIBDEFLATE
// Decodes whole streams with libdeflate from a carry buffer of
// INFLATE_CARRY_SIZE bytes, the state's own or allocated at init
// (ERROR_SYSTEM_MEMORY when there is none), and hands zlib any stream it cannot decode whole, so its
// statuses and files are INFLATE_CODEC's. The one difference: of a damaged
// stream found in a later input block than it began, INFLATE_CODEC has already
// written a part; this codec writes only complete streams. Its state is an
// inflate_state too; set input_total where the run's input length is known.
extern const codec_table LIBDEFLATE_INFLATE_CODEC;
#endif
extern const codec_table DEFLATE_CODEC;
size_t inflate_state_size();
size_t deflate_state_size();
// Sets the deflate level (0-9) of a state before init; 9 by default.
void deflate_set_level(void* state, int level);

// The inflate codecs of this build, the fastest first: "libdeflate" where the
// build found it (QPK_HAVE_LIBDEFLATE), then "zlib".
struct inflate_codec_choice {
  const char* name;
  const codec_table* codec;
};
std::span<const inflate_codec_choice> inflate_codecs();
// The codec inflate_entry runs: the first of inflate_codecs(). Tests switch it
// to run the same cases through each.
extern const codec_table* inflate_entry_codec;

int inflate_entry(file_handle archive, file_handle output, uint32_t stored_size, uint32_t* produced);
