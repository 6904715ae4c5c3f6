// The stream pump and the file source and sink it is used with.
#include "archive/pump.h"

#include <algorithm>

#include "foundation/file.h"

int stream_pump(source_read read, void* source, const codec_table* codec, void* codec_state,
                const sink_table* sink, void* sink_context) {
  int status = codec->init(codec_state);
  if (status < 0) return status;
  while (status >= 0) {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    status = read(source, &data, &length);
    if (status < 0) break;
    uint32_t produced = 0;
    uint8_t* output = sink->buffer(sink_context);
    status = codec->process(codec_state, data, length, output, sink->capacity(sink_context), &produced);
    if (status < 0) break;
    int more = status;
    status = sink->write(sink_context, output, produced);
    // Everything produced is written before the next call, so each call has
    // the whole buffer.
    while (status >= 0 && more == 1) {
      output = sink->buffer(sink_context);
      more = codec->process(codec_state, nullptr, 0, output, sink->capacity(sink_context), &produced);
      if (more < 0) {
        status = more;
        break;
      }
      status = sink->write(sink_context, output, produced);
    }
  }
  if (status == ERROR_SOURCE_END) status = 0;
  int ended = codec->end(codec_state);
  if (status >= 0) status = ended;
  return status;
}

int file_source_read(void* context, const uint8_t** data, uint32_t* length) {
  auto* source = static_cast<file_source*>(context);
  *length = 0;
  if (source->delivered >= source->total) return ERROR_SOURCE_END;
  uint32_t count = std::min(source->size, source->total - source->delivered);
  int done = 0;
  int status = file_read(source->file, source->buffer, static_cast<int>(count), &done);
  source->delivered += static_cast<uint32_t>(done);
  *data = source->buffer;
  *length = static_cast<uint32_t>(done);
  return status;
}

namespace {

int file_sink_write(void* context, const uint8_t* data, uint32_t length) {
  auto* sink = static_cast<file_sink*>(context);
  int status = file_write_all(sink->file, data, static_cast<int>(length));
  if (status == 0) sink->written += length;
  return status;
}

uint8_t* file_sink_buffer(void* context) { return static_cast<file_sink*>(context)->buffer; }

uint32_t file_sink_capacity(void* context) { return static_cast<file_sink*>(context)->capacity; }

}  // namespace

const sink_table FILE_SINK = {file_sink_write, file_sink_buffer, file_sink_capacity};
