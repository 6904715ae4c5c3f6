// The test command: every entry read or inflated into memory with the
// engine's codec, its length and zlib integrity checked; nothing on disk.
#include <vector>

#include "archive/codecs.h"
#include "archive/pump.h"
#include "foundation/file.h"
#include "tools/qpk/archive_reader.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/entry_name.h"

namespace {

// A sink that keeps nothing but the count of bytes it was given.
struct counting_sink {
  std::vector<uint8_t> buffer;
  uint64_t total = 0;
};

int counting_write(void* context, const uint8_t*, uint32_t length) {
  static_cast<counting_sink*>(context)->total += length;
  return 0;
}
uint8_t* counting_buffer(void* context) { return static_cast<counting_sink*>(context)->buffer.data(); }
uint32_t counting_capacity(void* context) {
  return static_cast<uint32_t>(static_cast<counting_sink*>(context)->buffer.size());
}
const sink_table COUNTING_SINK = {counting_write, counting_buffer, counting_capacity};

// The problem with a deflated entry's data, or "".
std::string check_deflated(file_handle file, const entry_header& header) {
  std::vector<uint8_t> input(PUMP_BUFFER_SIZE);
  file_source source{file, input.data(), PUMP_BUFFER_SIZE, header.stored_size, 0};
  counting_sink sink;
  sink.buffer.resize(PUMP_BUFFER_SIZE);
  inflate_state state;
  int status = stream_pump(file_source_read, &source, &INFLATE_CODEC, &state, &COUNTING_SINK, &sink);
  if (status < 0) return "the deflated data is damaged (status " + std::to_string(status) + ")";
  if (sink.total != header.content_size) {
    return "inflates to " + std::to_string(sink.total) + " bytes, not " + std::to_string(header.content_size);
  }
  return "";
}

std::string check_stored(file_handle file, const entry_header& header) {
  if (header.stored_size != header.content_size) {
    return "stored data of " + std::to_string(header.stored_size) + " bytes for a size of " +
           std::to_string(header.content_size);
  }
  std::vector<uint8_t> buffer(PUMP_BUFFER_SIZE);
  for (uint32_t left = header.stored_size; left > 0;) {
    int size = static_cast<int>(std::min(left, PUMP_BUFFER_SIZE));
    int done = 0;
    if (file_read(file, buffer.data(), size, &done) < 0 || done != size) return "the stored data cannot be read";
    left -= static_cast<uint32_t>(size);
  }
  return "";
}

std::string check_entry(file_handle file, uint32_t data_at, const entry_header& header) {
  if (const char* problem = entry_name_problem(header.name)) return problem;
  if (header.method != METHOD_DEFLATED && header.method != METHOD_STORED) {
    return "unknown method " + std::to_string(header.method);
  }
  if (file_seek(file, static_cast<int32_t>(data_at), FILE_SEEK_SET) < 0) return "cannot reach the entry's data";
  return header.method == METHOD_DEFLATED ? check_deflated(file, header) : check_stored(file, header);
}

}  // namespace

int qpk_test(const std::string& file, std::ostream& out, std::ostream& err) {
  archive_reader reader;
  std::string problem = reader.open(file);
  if (!problem.empty()) {
    err << "qpk: " << file << ": " << problem << '\n';
    return 1;
  }
  entry_header header;
  uint32_t data_at = 0;
  for (unsigned count = 0;; ++count) {
    switch (reader.next(&header, &data_at, &problem)) {
      case archive_reader::END:
        out << "OK " << count << " entries\n";
        return 0;
      case archive_reader::DAMAGED:
        err << "qpk: " << file << ": damaged: " << problem << '\n';
        return 1;
      case archive_reader::ENTRY:
        problem = check_entry(reader.file(), data_at, header);
        if (!problem.empty()) {
          err << "qpk: " << file << ": entry " << count + 1 << " \"" << printable_field(header.name, sizeof header.name)
              << "\": " << problem << '\n';
          return 1;
        }
        break;
    }
  }
}
