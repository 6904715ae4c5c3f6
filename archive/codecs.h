// The codec states behind the inflate and deflate codecs (pump.h). Declare one
// of these (its initialisers give the defaults) rather than raw memory of
// inflate_state_size()/deflate_state_size() bytes; one state serves one pump
// run at a time. Separate states share nothing, so several may run at once on
// different threads (none of them takes memory from the pool).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>

struct libdeflate_decompressor;

// The libdeflate codec decodes a stream whole once the carry holds at least
// this much input (or all of the run's input): enough for a stream of 64000
// bytes of output stored uncompressed in blocks as small as an encoder with
// little memory makes. A longer stream is inflated by zlib instead.
constexpr uint32_t WHOLE_STREAM_INPUT_LIMIT = 64000 + 4096;
// The carry holds that much and one more input block.
constexpr uint32_t INFLATE_CARRY_SIZE = WHOLE_STREAM_INPUT_LIMIT + 64000;

// Serves INFLATE_CODEC and LIBDEFLATE_INFLATE_CODEC; the latter finishes
// through the same zlib record any stream it cannot decode whole.
struct inflate_state {
  z_stream stream{};
  // Input of the current zlib stream has been taken but its end not reached.
  bool inside_stream = false;
  // How many input bytes the run will deliver, where the caller knows it:
  // the libdeflate codec then waits for a stream's whole input instead of
  // handing a stream cut at an input block to zlib. Results are the same
  // without it; only slower.
  std::optional<uint32_t> input_total;

  // The libdeflate codec's own fields. A caller that runs many pumps (a worker
  // thread) may set the decompressor and the carry (INFLATE_CARRY_SIZE bytes)
  // before each run and keep them; what it leaves null the codec allocates at
  // init and frees at end.
  libdeflate_decompressor* decompressor = nullptr;
  uint8_t* carry = nullptr;
  bool owns_decompressor = false;
  bool owns_carry = false;
  uint32_t carry_start = 0;  // carry[carry_start, carry_end) is pending input
  uint32_t carry_end = 0;
  const uint8_t* input = nullptr;  // given by the caller, not yet in the carry
  uint32_t input_left = 0;
  uint32_t input_seen = 0;  // bytes given by the caller so far
};

struct deflate_state {
  z_stream stream{};
  int level = Z_BEST_COMPRESSION;
  // An input block is being finished into one stream.
  bool finishing = false;
};

// Inflates the state's pending zlib input (stream.next_in, stream.avail_in)
// into output up to the end of the current zlib stream, which is then reset
// for the next one. Returns 1 when more waits (input after the stream's end,
// or a full output buffer), 0 when the input is used up, ERROR_ENTRY_DATA for
// damaged data, ERROR_CODEC when zlib can make no progress.
int inflate_step(inflate_state* state, uint8_t* output, uint32_t capacity, uint32_t* produced);
