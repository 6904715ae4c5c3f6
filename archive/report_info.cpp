// A self-extractor's recorded options: the archive's offset, the flags by
// name and each text field.
#include <cstdio>
#include <cstring>

#include "archive/archive_report.h"
#include "archive/locate.h"
#include "archive/option_table.h"

namespace {

void write_out(const report_output& output, const char* text) { output.write(output.context, REPORT_OUT, text); }

int refuse(const report_output& output, const char* problem) {
  output.write(output.context, REPORT_ERR, output.subject);
  output.write(output.context, REPORT_ERR, problem);
  return 1;
}

void write_flags(const report_output& output, uint32_t flags) {
  char text[32];
  snprintf(text, sizeof text, "Flags:          0x%03lX", static_cast<unsigned long>(flags));
  write_out(output, text);
  uint32_t known = 0;
  for (const option_definition& option : OPTION_DEFINITIONS) {
    known |= option.flag;
    if (option.flag != 0 && (flags & option.flag) != 0) {
      write_out(output, " ");
      write_out(output, option.shown_as);
    }
  }
  if (flags & ~known) {
    snprintf(text, sizeof text, " unknown 0x%lX", static_cast<unsigned long>(flags & ~known));
    write_out(output, text);
  }
  write_out(output, "\n");
}

// A text field shown as far as its zero, marked when the zero is missing.
void write_field(const report_output& output, const option_block& block, const option_definition& option) {
  const char* field = reinterpret_cast<const char*>(&block) + option.field_offset;
  char name[24];
  snprintf(name, sizeof name, "%s:", option.shown_as);
  char label[24];
  snprintf(label, sizeof label, "%-16.16s\"", name);
  write_out(output, label);
  char text[4 * OPTION_COMMAND_SIZE + 1];
  report_printable(field, option.field_size, text, sizeof text);
  write_out(output, text);
  write_out(output, memchr(field, 0, option.field_size) == nullptr ? "\" (no terminating zero)\n" : "\"\n");
}

}  // namespace

int report_info(const archive_file* archive, const report_output& output) {
  if (archive->start == 0) return refuse(output, ": a plain archive, not a self-extractor\n");
  option_block block;
  if (se_read_options(archive->file, archive->start, &block) != 0)
    return refuse(output, ": not a self-extractor: the option block before the archive is missing or damaged\n");
  char offset[48];
  snprintf(offset, sizeof offset, "Archive offset: %lu\n", static_cast<unsigned long>(archive->start));
  write_out(output, offset);
  write_flags(output, block.flags);
  for (const option_definition& option : OPTION_DEFINITIONS)
    if (option.field_size != 0) write_field(output, block, option);
  return 0;
}
