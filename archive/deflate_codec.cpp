// The deflate codec over zlib: every input block becomes one complete zlib
// stream (the layout of a deflated entry when blocks are at most 64000 bytes).
#include "archive/codecs.h"
#include "archive/pump.h"

namespace {

int deflate_codec_init(void* context) {
  auto* state = static_cast<deflate_state*>(context);
  state->stream = z_stream{};
  state->finishing = false;
  return deflateInit(&state->stream, state->level) == Z_OK ? 0 : ERROR_CODEC;
}

int deflate_codec_end(void* context) {
  auto* state = static_cast<deflate_state*>(context);
  return deflateEnd(&state->stream) == Z_OK ? 0 : ERROR_CODEC;
}

int deflate_codec_process(void* context, const uint8_t* input, uint32_t input_length, uint8_t* output,
                          uint32_t capacity, uint32_t* produced) {
  auto* state = static_cast<deflate_state*>(context);
  z_stream& stream = state->stream;
  *produced = 0;
  if (capacity == 0) return ERROR_CODEC;
  if (!state->finishing) {
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = input != nullptr ? input_length : 0;
    state->finishing = true;
  }
  stream.next_out = output;
  stream.avail_out = capacity;
  uInt input_before = stream.avail_in;
  uLong output_before = stream.total_out;
  int result = deflate(&stream, Z_FINISH);
  *produced = static_cast<uint32_t>(stream.total_out - output_before);
  if (result == Z_STREAM_END) {
    state->finishing = false;
    return deflateReset(&stream) == Z_OK ? 0 : ERROR_CODEC;
  }
  bool progress = stream.avail_in != input_before || *produced != 0;
  if ((result == Z_OK || result == Z_BUF_ERROR) && progress) return 1;
  return ERROR_CODEC;
}

}  // namespace

const codec_table DEFLATE_CODEC = {deflate_codec_init, deflate_codec_end, deflate_codec_process};

size_t deflate_state_size() { return sizeof(deflate_state); }

void deflate_set_level(void* state, int level) { static_cast<deflate_state*>(state)->level = level; }
