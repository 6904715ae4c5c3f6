// The check of every entry: the walk and the entry check the extraction
// runs, and each entry's data read or inflated into memory with the engine's
// codec, its length and zlib integrity checked. Nothing is written to disk.
#include <cstdio>
#include <initializer_list>

#include "archive/archive_report.h"
#include "archive/codecs.h"
#include "archive/entry_walk.h"
#include "archive/pump.h"

namespace {

// The pump's two buffers; static, as the pool's are the extraction's. One
// check runs at a time.
uint8_t input_buffer[PUMP_BUFFER_SIZE];
uint8_t output_buffer[PUMP_BUFFER_SIZE];

// A sink that keeps nothing but the count of bytes it was given.
int counting_write(void* context, const uint8_t*, uint32_t length) {
  *static_cast<uint64_t*>(context) += length;
  return 0;
}
uint8_t* counting_buffer(void*) { return output_buffer; }
uint32_t counting_capacity(void*) { return PUMP_BUFFER_SIZE; }
const sink_table COUNTING_SINK = {counting_write, counting_buffer, counting_capacity};

// The problem with a deflated entry's data, or null; a length problem is
// written into text (size bytes).
const char* check_deflated(file_handle file, const entry_header& header, char* text, size_t size) {
  file_source source{file, input_buffer, PUMP_BUFFER_SIZE, header.stored_size, 0};
  uint64_t total = 0;
  inflate_state state;
  if (stream_pump(file_source_read, &source, &INFLATE_CODEC, &state, &COUNTING_SINK, &total) < 0)
    return "the deflated data is damaged";
  if (total == header.content_size) return nullptr;
  snprintf(text, size, "inflates to %llu bytes, not %lu", static_cast<unsigned long long>(total),
           static_cast<unsigned long>(header.content_size));
  return text;
}

// The walk has checked that the data lies inside the archive; a read can
// still fail.
const char* check_stored(file_handle file, const entry_header& header) {
  for (uint32_t left = header.stored_size; left > 0;) {
    const uint32_t size = left < PUMP_BUFFER_SIZE ? left : PUMP_BUFFER_SIZE;
    if (file_read(file, input_buffer, static_cast<int>(size), nullptr) != 0) return "the stored data cannot be read";
    left -= size;
  }
  return nullptr;
}

const char* check_entry(file_handle file, const walk_entry& entry, char* text, size_t size) {
  if (const char* problem = entry_problem(entry)) return problem;
  return entry.header.method == METHOD_DEFLATED ? check_deflated(file, entry.header, text, size)
                                                : check_stored(file, entry.header);
}

int report_entry_problem(const report_output& output, unsigned count, const walk_entry& entry, const char* problem) {
  char name[4 * ENTRY_NAME_SIZE + 1];
  report_printable(entry.header.name, sizeof entry.header.name, name, sizeof name);
  char head[48];
  snprintf(head, sizeof head, ": entry %u \"", count);
  for (const char* piece : {output.subject, static_cast<const char*>(head), static_cast<const char*>(name), "\": ",
                            problem, "\n"})
    output.write(output.context, REPORT_ERR, piece);
  return 1;
}

}  // namespace

int report_check(const archive_file* archive, const report_output& output) {
  entry_walk walk;
  walk_entry entry;
  unsigned count = 0, stored = 0;
  int status = walk_start(&walk, archive);
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    ++count;
    if (entry.header.method == METHOD_STORED) ++stored;
    char text[64];
    if (const char* problem = check_entry(archive->file, entry, text, sizeof text))
      return report_entry_problem(output, count, entry, problem);
    status = walk_skip(&walk, &entry);
  }
  if (status != 0) return report_damaged(output, walk.problem);
  // The format checks deflated data only: a stored entry's bytes can only be
  // read, not verified.
  char line[96];
  int length = snprintf(line, sizeof line, "OK %u entries", count);
  if (stored > 0 && length > 0)
    snprintf(line + length, sizeof line - static_cast<size_t>(length), "; %u stored entr%s no checksum", stored,
             stored == 1 ? "y has" : "ies have");
  output.write(output.context, REPORT_OUT, line);
  output.write(output.context, REPORT_OUT, "\n");
  return 0;
}
