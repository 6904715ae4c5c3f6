// The list command: one line per entry.
#include <cstdio>
#include <cstring>

#include "archive/entry_walk.h"
#include "tools/qpk/commands.h"
#include "tools/qpk/platform.h"
#include "tools/qpk/reading.h"

namespace {

std::string method_text(uint16_t method) {
  if (method == METHOD_DEFLATED) return "deflated";
  if (method == METHOD_STORED) return "stored";
  return "unknown " + std::to_string(method);
}

std::string stamp_text(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980u + (date >> 9), (date >> 5) & 0x0Fu,
                date & 0x1Fu, time >> 11, (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2);
  return text;
}

std::string attribute_text(uint32_t attributes) {
  std::string text = "-----";
  if (attributes & ENTRY_ATTR_READONLY) text[0] = 'R';
  if (attributes & ENTRY_ATTR_ARCHIVE) text[1] = 'A';
  if (attributes & ENTRY_ATTR_HIDDEN) text[2] = 'H';
  if (attributes & ENTRY_ATTR_SYSTEM) text[3] = 'S';
  if (attributes & ENTRY_ATTR_EXECUTE) text[4] = 'X';
  return text;
}

}  // namespace

int qpk_list(const std::string& file, std::ostream& out, std::ostream& err) {
  opened_archive opened;
  if (!open_archive(file, &opened, err)) return 1;
  out << "      Size     Stored  Method       Date (UTC) Time      Attr   Name\n";
  entry_walk walk;
  walk_entry entry;
  int status = walk_start(&walk, &opened.archive);
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    const entry_header& header = entry.header;
    char line[160];
    std::snprintf(line, sizeof line, "%10lu %10lu  %-11s  %s  %s  ", static_cast<unsigned long>(header.content_size),
                  static_cast<unsigned long>(header.stored_size), method_text(header.method).c_str(),
                  stamp_text(header.dos_date, header.dos_time).c_str(), attribute_text(header.attributes).c_str());
    const std::string name = shown_name(std::string(header.name, strnlen(header.name, sizeof header.name)));
    out << line << printable_field(name.c_str(), name.size()) << '\n';
    status = walk_skip(&walk, &entry);
  }
  if (status == 0) return 0;
  err << "qpk: " << file << ": damaged: " << (walk.problem != nullptr ? walk.problem : "cannot read the archive")
      << '\n';
  return 1;
}
