// Inflates one deflated entry from the archive into its target file through
// two pool buffers.
#include "archive/codecs.h"
#include "archive/pump.h"
#include "foundation/pool.h"

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
  int status = stream_pump(file_source_read, &source, &INFLATE_CODEC, &state, &FILE_SINK, &sink);
  pool_free(input_buffer);
  pool_free(output_buffer);
  *produced = sink.written;
  return status;
}
