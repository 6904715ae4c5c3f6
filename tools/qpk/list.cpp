// The list command: one line per entry, then the totals.
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

// Names are shown with the platform's folder separator. A converted name is
// UTF-8, where the byte of "\\" is never part of another character.
std::string name_text(const entry_header& header) {
  std::string name = shown_name(std::string(header.name, strnlen(header.name, sizeof header.name)));
#ifndef _WIN32
  for (char& c : name)
    if (c == '\\') c = '/';
#endif
  return printable_field(name.c_str(), name.size());
}

}  // namespace

int qpk_list(const std::string& file, std::ostream& out, std::ostream& err) {
  opened_archive opened;
  if (!open_archive(file, &opened, err)) return 1;
  out << "      Size     Stored  Method       Date (UTC) Time      Attr   Name\n";
  entry_walk walk;
  walk_entry entry;
  unsigned long files = 0;
  unsigned long long content = 0, stored = 0;
  int status = walk_start(&walk, &opened.archive);
  while (status == 0 && (status = walk_read(&walk, &entry)) == 1) {
    const entry_header& header = entry.header;
    char line[160];
    std::snprintf(line, sizeof line, "%10lu %10lu  %-11s  %s  %s  ", static_cast<unsigned long>(header.content_size),
                  static_cast<unsigned long>(header.stored_size), method_text(header.method).c_str(),
                  stamp_text(header.dos_date, header.dos_time).c_str(), attribute_text(header.attributes).c_str());
    out << line << name_text(header) << '\n';
    files += 1;
    content += header.content_size;
    stored += header.stored_size;
    status = walk_skip(&walk, &entry);
  }
  if (status == 0) {
    char line[96];
    std::snprintf(line, sizeof line, "%10llu %10llu  %lu file%s\n", content, stored, files, files == 1 ? "" : "s");
    out << line;
    return 0;
  }
  err << "qpk: " << file << ": damaged: " << (walk.problem != nullptr ? walk.problem : "cannot read the archive")
      << '\n';
  return 1;
}
