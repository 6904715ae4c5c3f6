// The inflate codec over zlib. An entry's data is one or more zlib streams laid
// end to end; each process call inflates up to the end of the current stream
// and leaves the input after it pending for the next call, which starts a new
// stream. Damaged data, and data that stops inside a stream, fail with
// ERROR_ENTRY_DATA instead of passing as long as the length happens to match.
#include "archive/codecs.h"
#include "archive/layout.h"
#include "archive/pump.h"

int inflate_step(inflate_state* state, uint8_t* output, uint32_t capacity, uint32_t* produced) {
  z_stream& stream = state->stream;
  stream.next_out = output;
  stream.avail_out = capacity;
  uInt input_before = stream.avail_in;
  uLong output_before = stream.total_out;
  int result = inflate(&stream, Z_SYNC_FLUSH);
  *produced = static_cast<uint32_t>(stream.total_out - output_before);
  bool progress = stream.avail_in != input_before || *produced != 0;
  switch (result) {
    case Z_STREAM_END:
      state->inside_stream = false;
      if (inflateReset(&stream) != Z_OK) return ERROR_CODEC;
      // Input after the stream's end begins the entry's next stream.
      return stream.avail_in > 0 ? 1 : 0;
    case Z_OK:
    case Z_BUF_ERROR:
      if (progress) state->inside_stream = true;
      if (!progress && stream.avail_in > 0) return ERROR_CODEC;
      // A full output buffer in mid stream: the rest comes with the next call.
      return stream.avail_in > 0 || stream.avail_out == 0 ? 1 : 0;
    default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_MEM_ERROR, Z_STREAM_ERROR
      return ERROR_ENTRY_DATA;
  }
}

namespace {

int inflate_codec_init(void* context) {
  auto* state = static_cast<inflate_state*>(context);
  state->stream = z_stream{};
  state->inside_stream = false;
  return inflateInit(&state->stream) == Z_OK ? 0 : ERROR_CODEC;
}

int inflate_codec_end(void* context) {
  auto* state = static_cast<inflate_state*>(context);
  int result = inflateEnd(&state->stream);
  if (state->inside_stream) return ERROR_ENTRY_DATA;
  return result == Z_OK ? 0 : ERROR_CODEC;
}

int inflate_codec_process(void* context, const uint8_t* input, uint32_t input_length, uint8_t* output,
                          uint32_t capacity, uint32_t* produced) {
  auto* state = static_cast<inflate_state*>(context);
  z_stream& stream = state->stream;
  *produced = 0;
  if (capacity == 0) return ERROR_CODEC;
  if (stream.avail_in == 0 && input != nullptr) {
    stream.next_in = const_cast<Bytef*>(input);
    stream.avail_in = input_length;
  }
  return inflate_step(state, output, capacity, produced);
}

}  // namespace

const codec_table INFLATE_CODEC = {inflate_codec_init, inflate_codec_end, inflate_codec_process};

size_t inflate_state_size() { return sizeof(inflate_state); }
