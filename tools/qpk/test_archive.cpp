// The test command: the engine's walk and entry check over every entry, and
// every entry's data read or inflated into memory with the engine's codec,
// its length and zlib integrity checked; nothing on disk.
#include <algorithm>
#include <vector>

#include "archive/codecs.h"
#include "archive/entry_walk.h"
#include "archive/pump.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/reading.h"

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
  if (status < 0) return "the deflated data is damaged";
  if (sink.total != header.content_size) {
    return "inflates to " + std::to_string(sink.total) + " bytes, not " + std::to_string(header.content_size);
  }
  return "";
}

// The walk has checked that the data lies inside the archive; a read can
// still fail.
std::string check_stored(file_handle file, const entry_header& header) {
  std::vector<uint8_t> buffer(PUMP_BUFFER_SIZE);
  for (uint32_t left = header.stored_size; left > 0;) {
    int size = static_cast<int>(std::min(left, PUMP_BUFFER_SIZE));
    if (file_read(file, buffer.data(), size, nullptr) != 0) return "the stored data cannot be read";
    left -= static_cast<uint32_t>(size);
  }
  return "";
}

std::string check_entry(file_handle file, const walk_entry& entry) {
  if (const char* problem = entry_problem(entry)) return problem;
  return entry.header.method == METHOD_DEFLATED ? check_deflated(file, entry.header)
                                                : check_stored(file, entry.header);
}

}  // namespace

int qpk_test(const std::string& file, std::ostream& out, std::ostream& err) {
  opened_archive opened;
  if (!open_archive(file, &opened, err)) return 1;
  entry_walk walk;
  walk_entry entry;
  unsigned count = 0, stored = 0;
  int status = walk_start(&walk, &opened.archive);
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    ++count;
    if (entry.header.method == METHOD_STORED) ++stored;
    std::string problem = check_entry(opened.archive.file, entry);
    if (!problem.empty()) {
      err << "qpk: " << file << ": entry " << count << " \""
          << printable_field(entry.header.name, sizeof entry.header.name) << "\": " << problem << '\n';
      return 1;
    }
    status = walk_skip(&walk, &entry);
  }
  if (status == 0) {
    // The format checks deflated data only: a stored entry's bytes can only be
    // read, not verified.
    out << "OK " << count << " entries";
    if (stored > 0) out << "; " << stored << " stored entr" << (stored == 1 ? "y has" : "ies have") << " no checksum";
    out << '\n';
    return 0;
  }
  err << "qpk: " << file << ": damaged: " << (walk.problem != nullptr ? walk.problem : "cannot read the archive")
      << '\n';
  return 1;
}
