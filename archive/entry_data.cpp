// An entry's data written from memory or by positioned reads (entry_data.h).
#include "archive/entry_data.h"

#if QPK_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>

#include "archive/extract.h"
#include "foundation/pool.h"

namespace {

// Hands out its bytes once.
struct memory_source {
  const uint8_t* data;
  uint32_t length;
  bool given;
};

int memory_source_read(void* context, const uint8_t** data, uint32_t* length) {
  auto* source = static_cast<memory_source*>(context);
  *length = 0;
  if (source->given || source->length == 0) return ERROR_SOURCE_END;
  source->given = true;
  *data = source->data;
  *length = source->length;
  return 0;
}

// Reads the archive at an offset of its own, so that threads may share it.
struct positioned_source {
  file_handle file;
  uint32_t offset;
  uint8_t* buffer;
  uint32_t left;
};

int positioned_source_read(void* context, const uint8_t** data, uint32_t* length) {
  auto* source = static_cast<positioned_source*>(context);
  *length = 0;
  if (source->left == 0) return ERROR_SOURCE_END;
  const uint32_t count = std::min(PUMP_BUFFER_SIZE, source->left);
  int status = file_read_at(source->file, source->offset, source->buffer, count);
  if (status != 0) return status;
  source->offset += count;
  source->left -= count;
  *data = source->buffer;
  *length = count;
  return 0;
}

int write_stored(file_handle archive, uint32_t position, uint32_t count, file_handle file, uint8_t* buffer) {
  uint32_t written = 0;
  // The system copies what it can; the rest goes through the buffer, which
  // also reports an archive that ends early or a disk that fills up.
  if (count > PUMP_BUFFER_SIZE) os_file_copy_at(archive, position, file, 0, count, &written);
  int status = 0;
  while (status == 0 && written < count) {
    const uint32_t chunk = std::min(DATA_SCRATCH_SIZE, count - written);
    status = file_read_at(archive, position + written, buffer, chunk);
    if (status == 0) status = file_write_at(file, written, buffer, chunk);
    written += chunk;
  }
  return status;
}

#if QPK_HAVE_LIBDEFLATE
// Inflates every stream of the data into output; false when libdeflate
// refuses one (damaged, or more than capacity), which zlib then decides.
bool inflate_in_memory(libdeflate_decompressor* decompressor, const uint8_t* data, uint32_t length, uint8_t* output,
                       uint32_t capacity, uint32_t* produced) {
  uint32_t used_total = 0;
  *produced = 0;
  while (used_total < length) {
    size_t used = 0, written = 0;
    if (libdeflate_zlib_decompress_ex(decompressor, data + used_total, length - used_total, output + *produced,
                                      capacity - *produced, &used, &written) != LIBDEFLATE_SUCCESS ||
        used == 0)
      return false;
    used_total += static_cast<uint32_t>(used);
    *produced += static_cast<uint32_t>(written);
  }
  return true;
}
#endif

// Inflates through the pump with the scratch as its buffers and carry.
int inflate_pumped(source_read read, void* source, file_handle file, uint32_t stored_size, data_scratch* scratch,
                   uint32_t* produced) {
  file_sink sink = {file, scratch->buffer + PUMP_BUFFER_SIZE, PUMP_BUFFER_SIZE, 0};
  inflate_state state;
  state.input_total = stored_size;
#if QPK_HAVE_LIBDEFLATE
  if (inflate_entry_codec == &LIBDEFLATE_INFLATE_CODEC) {
    state.carry = scratch->buffer + 2 * PUMP_BUFFER_SIZE;
    state.decompressor = scratch->decompressor;
  }
#endif
  int status = stream_pump(read, source, inflate_entry_codec, &state, &FILE_SINK, &sink);
  *produced = sink.written;
  return status;
}

int write_deflated(file_handle archive, const entry_header& header, uint32_t data_position, const uint8_t* data,
                   file_handle file, data_scratch* scratch) {
  uint32_t produced = 0;
  int status = 0;
  if (data != nullptr) {
#if QPK_HAVE_LIBDEFLATE
    if (inflate_entry_codec == &LIBDEFLATE_INFLATE_CODEC && scratch->decompressor != nullptr &&
        header.stored_size > 0 && header.content_size <= DATA_SCRATCH_SIZE &&
        inflate_in_memory(scratch->decompressor, data, header.stored_size, scratch->buffer, header.content_size,
                          &produced)) {
      if (produced > 0) status = file_write_all(file, scratch->buffer, static_cast<int>(produced));
      return inflate_result(status, produced, header.content_size);
    }
#endif
    memory_source source = {data, header.stored_size, false};
    status = inflate_pumped(memory_source_read, &source, file, header.stored_size, scratch, &produced);
  } else {
    positioned_source source = {archive, data_position, scratch->buffer, header.stored_size};
    status = inflate_pumped(positioned_source_read, &source, file, header.stored_size, scratch, &produced);
  }
  return inflate_result(status, produced, header.content_size);
}

}  // namespace

int inflate_result(int status, uint64_t produced, uint32_t content_size) {
  if (status != 0 && status != ERROR_FILE_END) return status;
  return produced != content_size ? ERROR_SIZE_MISMATCH : status;
}

void data_scratch_free(data_scratch* scratch) {
  if (scratch->buffer != nullptr) os_mem_free(scratch->buffer);
#if QPK_HAVE_LIBDEFLATE
  if (scratch->decompressor != nullptr) libdeflate_free_decompressor(scratch->decompressor);
#endif
  *scratch = data_scratch{};
}

int write_entry_data(file_handle archive, const entry_header& header, uint32_t data_position, const uint8_t* data,
                     file_handle file, data_scratch* scratch) {
  if (scratch->buffer == nullptr) {
    void* buffer = nullptr;
    if (os_mem_alloc(DATA_SCRATCH_SIZE, &buffer) != 0) return ERROR_SYSTEM_MEMORY;
    scratch->buffer = static_cast<uint8_t*>(buffer);
  }
#if QPK_HAVE_LIBDEFLATE
  // Without one the codec makes its own per entry: slower, not wrong.
  if (scratch->decompressor == nullptr) scratch->decompressor = libdeflate_alloc_decompressor();
#endif
  if (header.method != METHOD_STORED) return write_deflated(archive, header, data_position, data, file, scratch);
  if (data == nullptr) return write_stored(archive, data_position, header.stored_size, file, scratch->buffer);
  return header.stored_size == 0 ? 0 : file_write_all(file, data, static_cast<int>(header.stored_size));
}
