// The inflate codec over libdeflate: whole zlib streams decoded in one call
// from a carry buffer, and zlib (inflate_step) for any stream libdeflate cannot
// decode whole, so that statuses and written bytes are the zlib codec's.
#include <libdeflate.h>

#include <algorithm>
#include <cstring>

#include "archive/codecs.h"
#include "archive/layout.h"
#include "archive/pump.h"
#include "foundation/backend.h"
#include "foundation/pool.h"

namespace {

uint32_t pending(const inflate_state* state) { return state->carry_end - state->carry_start; }

// Copies as much of the caller's input into the carry as fits, moving the
// pending bytes to the front when the end has too little room. Input is left
// over only when the carry is full.
void fill_carry(inflate_state* state) {
  if (state->input_left == 0) return;
  if (INFLATE_CARRY_SIZE - state->carry_end < state->input_left && state->carry_start > 0) {
    memmove(state->carry, state->carry + state->carry_start, pending(state));
    state->carry_end = pending(state);
    state->carry_start = 0;
  }
  uint32_t count = std::min(INFLATE_CARRY_SIZE - state->carry_end, state->input_left);
  memcpy(state->carry + state->carry_end, state->input, count);
  state->carry_end += count;
  state->input += count;
  state->input_left -= count;
}

// Whether the pending input surely holds the next stream whole, if it is sound.
bool whole_stream_ready(const inflate_state* state) {
  if (pending(state) == 0) return false;
  if (pending(state) >= WHOLE_STREAM_INPUT_LIMIT) return true;
  // Nothing more will come (when the total is unknown, any call may be the last).
  return state->input_left == 0 && (!state->input_total || state->input_seen >= *state->input_total);
}

// Frees what init allocated; what the caller gave stays the caller's.
void release(inflate_state* state) {
  if (state->owns_decompressor) libdeflate_free_decompressor(state->decompressor);
  if (state->owns_carry) os_mem_free(state->carry);
  state->decompressor = nullptr;
  state->carry = nullptr;
  state->owns_decompressor = state->owns_carry = false;
}

int libdeflate_codec_init(void* context) {
  auto* state = static_cast<inflate_state*>(context);
  state->stream = z_stream{};
  state->inside_stream = false;
  state->carry_start = state->carry_end = 0;
  state->input = nullptr;
  state->input_left = state->input_seen = 0;
  state->owns_carry = state->carry == nullptr;
  if (state->owns_carry) {
    void* carry = nullptr;
    if (os_mem_alloc(INFLATE_CARRY_SIZE, &carry) != 0) {
      release(state);
      return ERROR_SYSTEM_MEMORY;
    }
    state->carry = static_cast<uint8_t*>(carry);
  }
  state->owns_decompressor = state->decompressor == nullptr;
  if (state->owns_decompressor) state->decompressor = libdeflate_alloc_decompressor();
  if (state->decompressor == nullptr || inflateInit(&state->stream) != Z_OK) {
    release(state);
    return ERROR_CODEC;
  }
  return 0;
}

int libdeflate_codec_end(void* context) {
  auto* state = static_cast<inflate_state*>(context);
  int result = inflateEnd(&state->stream);
  release(state);
  // A stream begun and not finished, or input that never became a stream.
  if (state->inside_stream || pending(state) > 0 || state->input_left > 0) return ERROR_ENTRY_DATA;
  return result == Z_OK ? 0 : ERROR_CODEC;
}

int libdeflate_codec_process(void* context, const uint8_t* input, uint32_t input_length, uint8_t* output,
                             uint32_t capacity, uint32_t* produced) {
  auto* state = static_cast<inflate_state*>(context);
  *produced = 0;
  if (capacity == 0) return ERROR_CODEC;
  if (state->input_left == 0 && input != nullptr) {
    state->input = input;
    state->input_left = input_length;
    state->input_seen += input_length;
  }
  fill_carry(state);
  if (!state->inside_stream) {
    // Not ready means the carry has room left, so all input is in it.
    if (!whole_stream_ready(state)) return 0;
    size_t used = 0, written = 0;
    libdeflate_result result = libdeflate_zlib_decompress_ex(state->decompressor, state->carry + state->carry_start,
                                                             pending(state), output, capacity, &used, &written);
    if (result == LIBDEFLATE_SUCCESS) {
      state->carry_start += static_cast<uint32_t>(used);
      *produced = static_cast<uint32_t>(written);
      return whole_stream_ready(state) || state->input_left > 0 ? 1 : 0;
    }
  }
  // zlib inflates the stream from its start, or goes on with it.
  z_stream& stream = state->stream;
  stream.next_in = state->carry + state->carry_start;
  stream.avail_in = pending(state);
  int more = inflate_step(state, output, capacity, produced);
  state->carry_start = state->carry_end - stream.avail_in;
  stream.next_in = nullptr;
  stream.avail_in = 0;
  if (more < 0) return more;
  return more == 1 || state->input_left > 0 ? 1 : 0;
}

}  // namespace

const codec_table LIBDEFLATE_INFLATE_CODEC = {libdeflate_codec_init, libdeflate_codec_end,
                                              libdeflate_codec_process};
