// Inflates one deflated entry from the archive into its target file through
// pool buffers, with the fastest inflate codec the build has.
#include "archive/codecs.h"
#include "archive/pump.h"
#include "foundation/pool.h"

namespace {

constexpr inflate_codec_choice INFLATE_CODECS[] = {
#if QPK_HAVE_LIBDEFLATE
    {"libdeflate", &LIBDEFLATE_INFLATE_CODEC},
#endif
    {"zlib", &INFLATE_CODEC},
};

}  // namespace

std::span<const inflate_codec_choice> inflate_codecs() { return INFLATE_CODECS; }

const codec_table* inflate_entry_codec = INFLATE_CODECS[0].codec;

int inflate_entry(file_handle archive, file_handle output, uint32_t stored_size, uint32_t* produced) {
  *produced = 0;
  // The libdeflate codec's carry comes from the pool too, so that this thread's
  // pool bounds all of an entry's memory.
#if QPK_HAVE_LIBDEFLATE
  const bool carried = inflate_entry_codec == &LIBDEFLATE_INFLATE_CODEC;
#else
  const bool carried = false;
#endif
  auto* input_buffer = static_cast<uint8_t*>(pool_alloc(PUMP_BUFFER_SIZE));
  auto* output_buffer = static_cast<uint8_t*>(pool_alloc(PUMP_BUFFER_SIZE));
  auto* carry = carried ? static_cast<uint8_t*>(pool_alloc(INFLATE_CARRY_SIZE)) : nullptr;
  int status = 0;
  if (input_buffer == nullptr || output_buffer == nullptr || (carried && carry == nullptr)) {
    status = ERROR_SYSTEM_MEMORY;
  } else {
    file_source source = {archive, input_buffer, PUMP_BUFFER_SIZE, stored_size, 0};
    file_sink sink = {output, output_buffer, PUMP_BUFFER_SIZE, 0};
    inflate_state state;
    state.input_total = stored_size;
    state.carry = carry;
    status = stream_pump(file_source_read, &source, inflate_entry_codec, &state, &FILE_SINK, &sink);
    *produced = sink.written;
  }
  pool_free(input_buffer);
  pool_free(output_buffer);
  pool_free(carry);
  return status;
}
