// Inflates one deflated entry from the archive into its target file through
// two pool buffers, with the fastest inflate codec the build has.
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
  auto* input_buffer = static_cast<uint8_t*>(pool_alloc(PUMP_BUFFER_SIZE));
  auto* output_buffer = static_cast<uint8_t*>(pool_alloc(PUMP_BUFFER_SIZE));
  if (input_buffer == nullptr || output_buffer == nullptr) {
    pool_free(input_buffer);
    pool_free(output_buffer);
    return ERROR_SYSTEM_MEMORY;
  }
  file_source source = {archive, input_buffer, PUMP_BUFFER_SIZE, stored_size, 0};
  file_sink sink = {output, output_buffer, PUMP_BUFFER_SIZE, 0};
  inflate_state state;
  state.input_total = stored_size;
  int status = stream_pump(file_source_read, &source, inflate_entry_codec, &state, &FILE_SINK, &sink);
  pool_free(input_buffer);
  pool_free(output_buffer);
  *produced = sink.written;
  return status;
}
