// The stream pump: data moves from a source through a codec into a sink, one
// buffer at a time. inflate_entry inflates a deflated entry (one or more zlib
// streams laid end to end, each at most 64000 bytes of output) from file to
// file through two 64000-byte pool buffers.
#pragma once

#include <cstdint>

#include "foundation/backend.h"

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
extern const codec_table DEFLATE_CODEC;
size_t inflate_state_size();
size_t deflate_state_size();
// Sets the deflate level (0-9) of a state before init; 9 by default.
void deflate_set_level(void* state, int level);

int inflate_entry(file_handle archive, file_handle output, uint32_t stored_size, uint32_t* produced);
