// The entry list: one line per entry with its sizes, method, time,
// attributes and name, then the totals.
#include <cstdio>

#include "archive/archive_report.h"
#include "archive/attributes.h"
#include "archive/entry_walk.h"

namespace {

const char* method_text(uint16_t method, char* unknown, size_t size) {
  if (method == METHOD_DEFLATED) return "deflated";
  if (method == METHOD_STORED) return "stored";
  snprintf(unknown, size, "unknown %u", static_cast<unsigned>(method));
  return unknown;
}

void write_entry(const report_output& output, const walk_entry& entry) {
  const entry_header& header = entry.header;
  char unknown[24];
  char attributes[ENTRY_ATTR_LETTERS_SIZE];
  entry_attribute_letters(header.attributes, attributes);
  const unsigned date = header.dos_date, time = header.dos_time;
  char line[160];
  snprintf(line, sizeof line, "%10lu %10lu  %-11s  %04u-%02u-%02u %02u:%02u:%02u  %s  ",
           static_cast<unsigned long>(header.content_size), static_cast<unsigned long>(header.stored_size),
           method_text(header.method, unknown, sizeof unknown), 1980u + (date >> 9), (date >> 5) & 0x0Fu,
           date & 0x1Fu, time >> 11, (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2, attributes);
  output.write(output.context, REPORT_OUT, line);
  // Names are shown with the platform's folder separator: on Linux every
  // name is read as UTF-8 or Windows-1252, where the byte of "\\" is never
  // part of another character.
  char name[sizeof entry.name];
  snprintf(name, sizeof name, "%s", entry.name);
#ifndef _WIN32
  for (char& c : name)
    if (c == '\\') c = '/';
#endif
  char shown[REPORT_NAME_SIZE];
  if (output.show_name != nullptr)
    output.show_name(name, shown, sizeof shown);
  else
    snprintf(shown, sizeof shown, "%s", name);
  char printable[4 * REPORT_NAME_SIZE];
  report_printable(shown, sizeof shown, printable, sizeof printable);
  output.write(output.context, REPORT_OUT, printable);
  output.write(output.context, REPORT_OUT, "\n");
}

}  // namespace

int report_list(const archive_file* archive, const report_output& output) {
  output.write(output.context, REPORT_OUT, "      Size     Stored  Method       Date (UTC) Time      Attr   Name\n");
  entry_walk walk;
  walk_entry entry;
  unsigned long files = 0;
  unsigned long long content = 0, stored = 0;
  int status = walk_start(&walk, archive);
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    write_entry(output, entry);
    files += 1;
    content += entry.header.content_size;
    stored += entry.header.stored_size;
    status = walk_skip(&walk, &entry);
  }
  if (status != 0) return report_damaged(output, walk.problem);
  char line[96];
  snprintf(line, sizeof line, "%10llu %10llu  %lu file%s\n", content, stored, files, files == 1 ? "" : "s");
  output.write(output.context, REPORT_OUT, line);
  return 0;
}
